// The options that shape a search, as the front end or the command line
// set them; the search reads them when it starts and while it runs.
#pragma once
#include <cstdint>

struct SearchOptions {
    int16_t threads;
    uint8_t multipv;
    // Strength: an Elo asked for, or a speed (Target_NPS, the throttle) in
    // nodes per second, 0 for none; a speed wins over the Elo.
    uint8_t limit_strength;
    int16_t elo;
    float speed_request;
    // Pruning: a percentage that scales the reduction and margin tables,
    // and the depths below which each pruning step runs.
    int16_t selectivity;
    int16_t SEP_depth, NMP_depth, FP_depth, LMP_depth, LMR_depth;
};

extern SearchOptions search_options;

// The workers a search runs: the Threads option, at least one.
inline int effective_threads() { return search_options.threads < 1 ? 1 : search_options.threads; }

// The values the engine starts with.
constexpr SearchOptions DEFAULT_SEARCH_OPTIONS = {1, 1, 0, 0, 0.0f, 100, 3, 3, 4, 6, 3};
