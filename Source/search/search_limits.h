// What one search may spend and where it stops. The protocol's go, the
// console's level and the tools each fill one; start_search keeps its own
// copy for the search in progress.
#pragma once
#include <cstdint>
#include "../position/types.h"

// A node count no search reaches: no node limit.
constexpr int64_t NO_NODE_LIMIT = 1000000000000000LL;
// The deepest iteration a search may be asked for.
constexpr int MAX_SEARCH_DEPTH = 80;
// The time of a fixed-limit search (depth, nodes, infinite): never reached.
constexpr float UNLIMITED_SECONDS = 10000000.0f;

// How the clock counts in SearchLimits::moves_per_control.
constexpr int16_t CLOCK_SUDDEN_DEATH = 0;  // the rest of the game in time_left
constexpr int16_t CLOCK_PER_MOVE = 1;      // base_time for this move

struct SearchLimits {
    // The clock: CLOCK_SUDDEN_DEATH, CLOCK_PER_MOVE or n moves a period.
    int16_t moves_per_control = CLOCK_PER_MOVE;
    // Moves left to the end of the period (only with n moves a period).
    int16_t moves_to_go = 0;
    float base_time = 5.0f;  // seconds: the move's time (per move)
    float time_left = 5.0f;  // seconds on the mover's clock (the other kinds)
    float increment = 0.0f;  // seconds the mover gets after the move
    // Milliseconds a move loses between the engine and the clock (MoveOverhead).
    int16_t move_overhead = 50;
    // The Ponder option: the engine thinks on the opponent's time too, so
    // a move may take a little more of its own.
    bool ponder = false;

    int64_t max_nodes = NO_NODE_LIMIT;
    // Node count from which the main worker tests the node and depth limits.
    int64_t node_check = NO_NODE_LIMIT;
    int16_t max_depth = MAX_SEARCH_DEPTH;   // last iteration
    int16_t stop_depth = MAX_SEARCH_DEPTH;  // the search stops inside this iteration

    // go mate N: the mate to find, in moves (0 for none).
    int mate_moves = 0;
    // go searchmoves: the root moves the search may consider (none: all).
    int root_move_count = 0;
    Move root_moves[MAX_MOVES];
};

// Seconds on the mover's clock: a move of fixed time has that time.
inline float mover_clock(const SearchLimits& l) {
    return l.moves_per_control == CLOCK_PER_MOVE ? l.base_time : l.time_left;
}

// Whether the limits let the root search m.
bool root_move_allowed(const SearchLimits& l, Move m);
