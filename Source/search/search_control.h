// Turning a go into a result: the search entry, its results and the
// helpers for the shared search-state word.
#pragma once
#include <cstdint>
#include "../position/types.h"
#include <atomic>
#include "search_limits.h"
#include "search_options.h"
#include "thread.h"

constexpr int MAX_PV_RESULTS = 256;

// Search-state word: mode bits and flags shared with the search threads.
constexpr uint16_t STATE_NORMAL = 1, STATE_PONDER = 2, STATE_FIXED = 4;
constexpr uint16_t STATE_GO_WAITING = 0x10, STATE_PONDER_WAITING = 0x20;
constexpr uint16_t STATE_RESULT_READY = 0x40, STATE_STOP_REQUESTED = 0x80;

extern std::atomic<uint16_t> search_state;
extern std::atomic<uint8_t> stop_search;

// The result of the last search (or book move), as the protocol and the
// tools read it once the search is over.
struct SearchResult {
    Move best_move = 0;
    Move ponder_move = 0;  // the reply the line expects, 0 for none
    Move book_move = 0;    // the book's move when the book answered, else 0
    int16_t score = 0;     // of the side to move at the root
    uint8_t depth = 0;     // of the last completed iteration
    float elapsed = 0;     // seconds
    uint64_t nodes = 0;    // of every worker
    // The root's static value and its quiescence value (the static value
    // when in check), for the training-data tools.
    int root_eval = 0;
    int root_qscore = 0;
    int tb_result = -1;  // the root's tablebase result (a TbResult)
    Move pv[MAX_PLY + 2] = {};  // the main line from index 1, ending in 0
    // First moves and scores of the main worker's PV set, best first
    // (MultiPV entries; 0 when no iteration completed).
    int pv_count = 0;
    Move pv_first[MAX_PV_RESULTS] = {};
    int pv_score[MAX_PV_RESULTS] = {};
};
extern SearchResult search_result;

// What the search tells the front end while it runs: a principal
// variation (line set) or, at the start of a long iteration, a progress
// note (line nullptr). The host turns it into text.
struct SearchReport {
    int worker;             // the worker whose line it is (0: the main one)
    int pv_index, multipv;  // MultiPV line, 1-based, of how many
    int depth, seldepth;
    int score;              // of the side to move at the root
    float seconds;
    double nodes, nps, tb_hits;
    double hashfull;        // per mille; 0 when not measured
    bool stopping;          // the search's last line
    const Move* line;       // from index 1, ending in 0
    Position* root;         // the worker's root position, to spell the line on
};

// What the search needs from the program around it: the block that holds
// the game's root position and history (every search copies its root from
// it), the input poll run while the workers search, so that stop,
// ponderhit and isready are answered at once (none: nothing is read),
// whether the program is quitting (then the workers are stopped without
// waiting for their result), and the reporter of its lines (none: nothing
// is printed).
struct SearchHost {
    SearchThread* game = nullptr;
    void (*poll_input)() = nullptr;
    bool (*quitting)() = nullptr;
    void (*report)(const SearchReport&) = nullptr;
};
void set_search_host(const SearchHost& host);
const SearchHost& search_host();

// The limits of the search in progress: start_search's copy of its
// caller's, read by the workers and the time check.
extern SearchLimits search_limits;

// Runs a search of the game position under limits, with state as the new
// search-state word, and returns once the result is ready (flag
// STATE_RESULT_READY set).
void start_search(uint16_t state, bool threaded, const SearchLimits& limits);
// Makes worker block index on first use (-1 when memory cannot be had)
// and copies the game's root position and records into it; 0 on success.
int prepare_thread(int index);

// The fourth root of the node ratio of the last completed iteration and
// the one four plies earlier; 0 below 6 plies.
double effective_branching_factor();
// The table counters of the last search, for the console's summary.
struct TableCounters {
    double hash_fill;  // fraction of the table in use
    uint64_t probes, hits, pawn_probes, pawn_hits, evals, eval_hits, tb_hits;
};
TableCounters table_counters();

// Sleeps ms milliseconds; 0 only yields.
void sleep_ms(int ms);
// Seconds on the monotonic clock.
double now_seconds();

// The state word is polled by other threads; no ordering is needed beyond
// the word itself.
inline uint16_t load_state() { return search_state.load(std::memory_order_relaxed); }
inline void store_state(uint16_t v) { search_state.store(v, std::memory_order_relaxed); }
inline void add_state(uint16_t bits) { search_state.fetch_or(bits, std::memory_order_relaxed); }
inline void clear_state_bits(uint16_t bits) { search_state.fetch_and(uint16_t(~bits), std::memory_order_relaxed); }
