// Boards written out as FEN for the tests: after a line of moves, or from
// an array of piece letters.
#pragma once
#include <string>

struct TestBoard;

// Plays blank-separated move texts; false when one does not read.
bool play_moves(TestBoard& b, const std::string& moves);

// The board after the moves (standard notation, separated by spaces)
// from the starting position.
std::string fen_after_moves(const std::string& moves);

// The placement field of a FEN for a board of 64 piece letters, a1 first;
// squares holding `empty` are empty.
std::string placement_fen(const char* board, char empty);
