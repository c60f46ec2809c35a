#include "search_control.h"
#include <sys/select.h>
#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <thread>
#include "../system/output.h"
#include "search.h"
#include "strength.h"
#include "thread.h"
#include "time_control.h"

SearchResult search_result;
SearchOptions search_options = DEFAULT_SEARCH_OPTIONS;
std::atomic<uint16_t> search_state{0};
std::atomic<uint8_t> stop_search{0};
SearchLimits search_limits;

static SearchHost host;

void set_search_host(const SearchHost& h) { host = h; }
const SearchHost& search_host() { return host; }

bool root_move_allowed(const SearchLimits& r, Move m) {
    if (r.root_move_count == 0) return true;
    for (int i = 0; i < r.root_move_count; i++)
        if (r.root_moves[i] == m) return true;
    return false;
}

void sleep_ms(int ms) {
    if (ms <= 0) {
        std::this_thread::yield();
        return;
    }
    timeval tv;
    tv.tv_sec = ms / 1000;
    tv.tv_usec = (ms % 1000) * 1000;
    select(0, nullptr, nullptr, nullptr, &tv);
}

double now_seconds() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

// Blocks are made on the thread that starts the search, before any worker
// runs, so that the workers only ever read the table of blocks.
static SearchThread* allocate_block(int index) {
    SearchThread* t = thread_table[index];
    if (t) return t;
    t = static_cast<SearchThread*>(calloc(1, sizeof(SearchThread)));
    if (!t) return nullptr;
    t->index = int16_t(index);
    search_lock.lock();
    t->seed = uint32_t(now_seconds() * 1e9) ^ uint32_t(index * 2654435761u);
    thread_table[index] = t;
    search_lock.unlock();
    return t;
}

int prepare_thread(int index) {
    if (index < 0 || index >= MAX_THREADS) return -1;
    SearchThread* t = allocate_block(index);
    if (!t) return -1;
    copy_root(*t, *host.game);
    t->index = int16_t(index);
    t->game.ply = 1;
    for (Move& m : t->pv) m = 0;
    t->nodes = 0;
    t->tb_hits = 0;
    t->hash_probes = 0;
    t->hash_hits = 0;
    return 0;
}

namespace {

std::thread helpers[MAX_THREADS];

void main_worker() {
    if (prepare_thread(0) < 0) exit(255);
    root_search(0);
    add_state(STATE_RESULT_READY);
}

void helper_worker(int index) {
    if (!thread_table[index] || prepare_thread(index) < 0) return;
    root_search(index);
}

void collect_result() {
    search_result.best_move = shared.pv[1];
    search_result.ponder_move = search_result.best_move ? shared.pv[2] : 0;
    search_result.score = int16_t(shared.score);
    int d = shared.depth;
    search_result.depth = uint8_t(d < 0 ? 0 : d > 255 ? 255 : d);
    search_result.elapsed = read_clock(false);
    search_result.nodes = sum_counters().nodes;
    search_result.tb_result = shared.root_tb_result;
    for (int i = 0; i < MAX_PLY + 2; i++) search_result.pv[i] = shared.pv[i];
}

}  // namespace

void start_search(uint16_t state, bool threaded, const SearchLimits& limits) {
    search_limits = limits;
    store_state(state);
    setup_search();
    int threads = std::min(effective_threads(), MAX_THREADS);
    // A limited strength is the main worker's nodes: helpers would add to
    // it unmeasured.
    if (throttle_on.load(std::memory_order_relaxed) || strength_node_budget > 0) threads = 1;

    std::thread main_thread;
    if (threaded) {
        if (!allocate_block(0)) exit(255);
        // A block that cannot be had leaves its worker out of the search.
        for (int i = 1; i < threads; i++)
            if (!allocate_block(i)) threads = i;
        try {
            main_thread = std::thread(main_worker);
        } catch (...) {
            // No worker thread to be had: search on this thread instead, so
            // the protocol loop still gets its result.
            engine_print("info string cannot start a search thread, searching without one");
            threaded = false;
        }
    }
    if (!threaded) {
        if (prepare_thread(0) < 0) exit(255);
        root_search(0);
    } else {
        while (shared.main_depth < 1 && !stop_search.load(std::memory_order_relaxed)) sleep_ms(0);
        int started = 1;
        for (int i = 1; i < threads; i++, started++) {
            try {
                helpers[i] = std::thread(helper_worker, i);
            } catch (...) {
                exit(255);
            }
        }
        while (!(host.quitting && host.quitting())) {
            check_time();
            if (load_state() & STATE_RESULT_READY) break;
            if (!(load_state() & STATE_STOP_REQUESTED) && host.poll_input) host.poll_input();
            sleep_ms(1);
        }
        stop_search.store(1, std::memory_order_relaxed);
        for (int i = 1; i < started; i++) {
            try {
                helpers[i].join();
            } catch (...) {
                exit(255);
            }
        }
        try {
            main_thread.join();
        } catch (...) {
            exit(255);
        }
        print_info(0, 1, shared.depth, shared.score, shared.pv);
    }
    add_state(STATE_RESULT_READY);
    collect_result();
}
