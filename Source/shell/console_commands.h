// The console commands that have more to them than a line or two: the
// settings, the game record, the board editor and the diagnostics.
#pragma once

// A console line is split into at most 10 words of at most 127 characters.
constexpr int CONSOLE_WORDS = 10;
constexpr int CONSOLE_WORD_CHARS = 127;

// set name value...: words are the name and up to three values.
void set_command(const char* name, const char* v1, const char* v2, const char* v3);

// Game record (console_game.cpp).
bool take_back_move();          // false at ply 0
void replay_recorded_move();    // the move recorded at the current ply, if any
void jump_to_move(int n);       // ply 0, then forward while the ply is below 2n - 2
void save_game(const char* file_name);
void get_test_position(const char* id);

// Board (console_board.cpp).
void edit_board();
void reverse_board();
void print_exchanges();
void print_key_history();
void show_table_line();
