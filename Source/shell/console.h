// The console dialect for a person at a terminal.
#pragma once
#include "../position/position.h"

// The driver plays the found move on the game board (engine_plays), and
// keeps playing both sides (self_play).
extern int engine_plays, self_play;

void console_command(const char* line);
void print_board(const Position& p);

// The position of the last console search (key and side), whose best move
// starts the pv line: the table keeps no entry for the root itself.
extern uint64_t searched_key;
extern int searched_side;
