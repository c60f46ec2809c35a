// The transposition table: one block shared by every search thread without
// locks, one half per side to move, four-entry windows, aged entries and a
// check word that catches torn or foreign entries.
#pragma once
#include <atomic>
#include <cstdint>
#include "../position/position.h"

constexpr int BOUND_UPPER = 1, BOUND_LOWER = 2, BOUND_EXACT = 3;

// Two 64-bit words so that a concurrent reader sees whole words: the first
// holds lock (low 32 bits of the key) and check, the second move, eval,
// score, depth and flags (age in bits 0-4, bound in bits 5-7), in this
// order from the low end, which is the byte layout of the 16-byte record.
struct HashEntry {
    std::atomic<uint64_t> key_word;
    std::atomic<uint64_t> data_word;
};
static_assert(sizeof(HashEntry) == 16, "a hash entry is 16 bytes, four to a cache line");

struct HashHit {
    int score;  // as stored, mate scores still relative to the node
    int eval;
    int depth;
    Move move;
    int bound;
};

extern uint8_t hash_use;  // console switch: 0 keeps the table out of tool runs

// Replaces the table by a cleared one of size_mb megabytes (0: no table);
// 0 when the memory cannot be had (no table is left then). report prints
// the allocation and clearing lines.
int allocate_hash(int size_mb, bool report);
void clear_hash();
int probe(const Position& p, HashHit& hit);
void store(const Position& p, int ply, int depth, Move move, int eval, int score, int bound);
void update_hashfull();
void new_search_age();
void reset_hash_age();
void release_hash();
void prefetch_hash(const Position& p);
// Asks for the window the position after m will use, so that the child's
// probe finds it in the cache.
void prefetch_after(const Position& p, Move m);

float hashfull_fraction();
int hash_in_use();
uint64_t hash_entry_count();
uint64_t hash_index_mask();

// Checks a stored move against the position; 0 when it is legal, else the
// number of the failed test (1 same squares ... 14 leaves the king in check).
int hash_move_problem(const Position& p, Move m);

// Score read from the table, seen from the current node at ply and depth.
int score_from_hash(int score, int stored_depth, int depth, int ply);
