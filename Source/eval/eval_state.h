// Per-thread evaluation state kept inside each search block: the
// evaluation cache, the pawn cache, their counters and the trace buffers.
#pragma once
#include <cstdint>

struct EvalCacheEntry {
    uint64_t key;
    int16_t score;
};

struct PawnCacheEntry {
    uint64_t key;
    int32_t total[2];  // packed pawn-structure totals, White and Black
};

constexpr int EVAL_CACHE_SIZE = 8192;
constexpr int PAWN_CACHE_SIZE = 8192;
constexpr int TRACE_GROUPS = 9;

struct EvalState {
    EvalCacheEntry cache[EVAL_CACHE_SIZE];
    uint64_t evals, cache_hits;
    PawnCacheEntry pawn_cache[PAWN_CACHE_SIZE];
    uint64_t pawn_probes, pawn_hits;
    int ply;  // ply of the position being evaluated, set by evaluate
    // Trace of the hand-crafted evaluation, filled only while trace is set.
    uint8_t trace;
    int32_t trace_terms[TRACE_GROUPS][2];
    uint64_t trace_hung, trace_free_passers;
    float phase;
    void* network;  // the thread's network accumulators, made on first use
};
