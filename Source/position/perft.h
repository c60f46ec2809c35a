// Leaf counting of the legal move tree.
#pragma once
#include <cstdint>

struct SearchThread;

// Adds the number of legal move sequences of length depth from the
// thread's position to the thread's node counter.
void perft(SearchThread& t, int side, int ply, int depth);
