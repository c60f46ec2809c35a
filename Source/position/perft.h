// Leaf counting of the legal move tree.
#pragma once
#include <cstdint>
#include "position.h"

// The number of legal move sequences of length depth (at least 1) from p;
// p must have a move history to make moves in.
uint64_t perft(Position& p, int depth);
