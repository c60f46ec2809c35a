// The tools on top of the PGN reader: one game onto the board (console
// "load") and scored games into EPD training lines (-scan_pgn).
#pragma once
#include "pgn.h"

// Text of one game: its lines joined with blanks. Text beyond 126999
// characters is not added.
constexpr int GAME_TEXT_SIZE = 128000;
struct GameText {
    char text[GAME_TEXT_SIZE];
    int length;
};
void clear_game_text(GameText& g);
void add_game_line(GameText& g, const char* line);
// Whether a line read from a file is a tag line ('[' first, after a
// byte-order mark at the start of the file).
bool is_tag_line(const char* line);
// The line without a leading UTF-8 byte-order mark.
const char* skip_bom(const char* line);

// Loads the first game with a tag line containing tag onto the game
// position. Needs a file name with ".pgn" and a tag of 3 characters or more.
void load_game(const char* file_name, const char* tag);

// Writes the scored positions of the games in pgn_name to epd_name; the
// number of games read, or -1 when the names or files are not usable.
int scan_pgn_file(const char* pgn_name, const char* epd_name);
