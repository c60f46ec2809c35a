// Answering a position from a Polyglot book file: the entries of a key by
// binary search, the variety weighting and the random pick.
#pragma once
#include <cstdint>
#include "../position/position.h"
#include "polyglot.h"

// At most this many moves of one position are read.
constexpr int BOOK_MAX_MOVES = 127;

// Reads the entries of key (at most max) from the book file; their count,
// 0 when the file is missing, unreadable, not a plain file or lacks the key.
int read_book_entries(const char* file_name, uint64_t key, BookEntry* out, int max);

// The variety weighting: each entry's share of 10000 with the first
// entry's weight scaled by (variety - 25) % added to every weight. Returns
// the sum of the shares; sum_weights receives the plain weight total.
int64_t book_shares(const BookEntry* entries, int n, int variety, int64_t* shares, int64_t& sum_weights);
// Index of the entry a threshold picks: the last entry of weight above 0
// whose running share sum before it is below threshold, the first one
// with a share when the threshold is 0; -1 when none has a share.
int pick_book_entry(const BookEntry* entries, const int64_t* shares, int n, int64_t threshold);

// The stored move as a Move when it is one of the position's legal moves,
// else 0.
Move legal_book_move(const Position& p, uint16_t book_move);

// A legal Move from the book for the position, 0 when the book has none;
// variety (OwnBook_Variety) weights the choice as book_shares does.
// Lists the candidates ("info string ( book moves are: ... )" in protocol
// mode, one line each in console mode).
Move book_probe(const Position& p, const char* file_name, int variety);
