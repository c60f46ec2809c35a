// Building a Polyglot book from the first 36 plies of PGN games
// (the -mkbook tool).
#pragma once
#include <cstdint>

struct BookBuildTotals {
    int games;    // games read (lines with a Result tag)
    int nodes;    // distinct (position, move) pairs seen
    int written;  // entries written to the book
};

// Reads the games of pgn_name and writes the book to book_name. Returns 0,
// or -1 when the PGN file cannot be opened (nothing is written then) or
// memory ran out. Progress and totals go to standard output.
int build_book_file(const char* pgn_name, const char* book_name, BookBuildTotals& totals);

// The tool: the games of pgn_in into "tmp_book.bin".
void build_book(const char* pgn_in);
