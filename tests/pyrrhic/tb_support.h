// Shared helpers of the tablebase tests: the shared table directory set up
// once, random legal positions of a given material, and probing a
// Position through the engine bridge.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "../support/test_position.h"
#include "pyrrhic/tablebase.h"
#include "pyrrhic/tbprobe.h"

inline std::string syzygy_dir() { return std::string(VORN_DATA_DIR) + "/syzygy"; }

// Scans the shared 3- and 4-man directory (again, if a test scanned another).
void use_shared_tables();

// Table names found in the shared directory ("KQvK", ...), sorted.
std::vector<std::string> shared_table_names();

// Small deterministic generator for positions.
struct Rng {
    uint64_t s;
    explicit Rng(uint64_t seed) : s(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint64_t next() {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return s;
    }
    int below(int n) { return int(next() % uint64_t(n)); }
};

// A random legal position of the material the name gives ("KRPvKB": the
// first side is white unless swap), the given side to move, no castling,
// no en passant. The side not to move is never in check.
std::string random_fen(const std::string& name, int side_to_move, bool swap, Rng& rng);

// WDL and DTZ of a board through the probing code; success 0 on failure.
int wdl_of(const Position& p, int& success);
int dtz_of(const Position& p, int& success);

// Legal moves of the board.
std::vector<Move> legal_moves(Position& p);
bool in_check(const Position& p);
