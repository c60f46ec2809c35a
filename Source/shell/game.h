// The game record: the block whose position and history the protocol and
// console commands change. Every search copies its root from it.
#pragma once
#include "../search/thread.h"
#include "settings.h"

extern SearchThread* game_block;

inline Position& game_position() { return game_block->pos; }
// Number of moves made since the game position was set up.
inline int game_ply() { return game_block->game.depth; }

// The settings' level for the game position's side to move.
inline SearchLimits game_level_limits() { return level_limits(settings, game_position().side, game_ply()); }

// Plays a legal move on the game position, first dropping history records
// that can no longer matter when the stack is close to full.
void play_game_move(Move m);
// Sets the game position from a FEN. A text the board reader refuses
// leaves the game exactly as it was (never a half-filled board); false then.
bool set_game_position(const char* fen);
// Forgets the recorded moves (the position stays as it is).
void clear_game_record();
