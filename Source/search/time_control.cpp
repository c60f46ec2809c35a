#include "time_control.h"
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include "../eval/evaluate.h"
#include "../position/position.h"
#include "../pyrrhic/tablebase.h"
#include "../system/output.h"
#include "hash.h"
#include "search.h"
#include "search_control.h"
#include "search_tables.h"
#include "strength.h"

std::atomic<float> elapsed_now{0};
std::atomic<float> target_time{1.0f};
int64_t search_node_check = 0;

namespace {
double start_time = 0;
int moves_left = 28;
}  // namespace

float read_clock(bool reset) {
    double now = now_seconds();
    if (reset) {
        start_time = now;
        elapsed_now.store(0, std::memory_order_relaxed);
        return 0;
    }
    float e = float(now - start_time + 0.0001);
    elapsed_now.store(e, std::memory_order_relaxed);
    return e;
}

// Whether a helper that finished the published depth prefers another move
// with a clearly better score: a sign that the main line is not settled.
static bool helpers_disagree(int score, int margin) {
    int n = effective_threads();
    int depth = shared.depth;
    Move best = shared.best;
    for (int i = 1; i < n && i < MAX_THREADS; i++) {
        SearchThread* t = thread_table[i];
        if (!t || t->improvement_depth < depth || !t->best_move) continue;
        if (t->best_move != best && t->root_score >= score + margin) return true;
    }
    return false;
}

void check_time() {
    const SearchLimits& L = search_limits;
    float el = read_clock(false);
    float T = mover_clock(L), I = L.increment;
    float b = I > 0 ? I * T / (2 * I + T) : 0.0f;
    uint16_t state = load_state();
    bool timed = (state & (STATE_NORMAL | STATE_FIXED)) != 0;
    int d = shared.main_depth;

    if (L.moves_per_control == CLOCK_PER_MOVE) {
        moves_left = 1;
        target_time.store(L.base_time, std::memory_order_relaxed);
        if (timed && d > 1 && el >= L.base_time + b) stop_search.store(1, std::memory_order_relaxed);
        return;
    }
    moves_left = L.moves_per_control == CLOCK_SUDDEN_DEATH ? 28 : L.moves_to_go;
    // A move count of 0 would spend the whole clock on one move.
    if (moves_left < 1) moves_left = 1;

    float R = T - el > 0 ? T - el : 0.0f;
    float f = 1.0f / float(moves_left + 1);
    if (L.ponder) f *= 1.25f;
    float target = f * R + b;
    if (!thread_table[0] || !timed || d <= 1) {
        target_time.store(target, std::memory_order_relaxed);
        return;
    }

    int score = shared.score;
    int l = std::abs(score) < 336 ? 20 : std::abs(score) / 16;
    int root_state = thread_table[0]->root_state;
    bool unstable = true;
    if (root_state == ROOT_FAILING_LOW) f += 0.20f;
    else if (root_state == ROOT_FAILING_HIGH) f += 0.04f;
    else if (d >= 4 && shared.depth_score[d - 1] - score >= l && shared.depth_score[d - 2] - score >= l) f += 0.04f;
    else unstable = false;
    if (unstable && d > 4 && shared.change_depth >= d - 2) f += 0.01f;
    float x = helpers_disagree(score, l) ? 0.02f : 0.0f;

    target = R * (f + x) + b - float(L.move_overhead) * 0.001f;
    if (target < 0.005f) target = 0.005f;
    if (shared.root_tb_result != TB_NONE) target *= 0.5f;
    target_time.store(target, std::memory_order_relaxed);
    if (el >= target || (shared.single_reply && d > 5)) stop_search.store(1, std::memory_order_relaxed);
}

void setup_search() {
    read_clock(true);
    build_search_tables();

    stop_search.store(0, std::memory_order_relaxed);
    shared.main_depth = 0;
    shared.depth = 0;
    shared.score = 0;
    shared.best = 0;
    shared.change_depth = 0;
    shared.single_reply = false;
    shared.root_tb_result = TB_NONE;
    shared.iteration_time = 0;
    shared.iteration_depth = 0;
    for (Move& m : shared.pv) m = 0;
    for (int i = 0; i < MAX_PLY + 2; i++) {
        shared.depth_score[i] = int16_t(SCORE_NONE);
        shared.depth_move[i] = 0;
        shared.nodes_per_depth[i] = 0;
    }
    SearchThread& g = *search_host().game;
    g.game.ply = 1;

    new_search_age();

    g.seed = g.seed * 1664525u + 1013904223u;
    eval_seed = g.seed;
    root_side = g.pos.side;
    game_plies = g.game.depth;
    contempt_on = !(load_state() & STATE_FIXED);

    for (int i = 0; i < MAX_THREADS; i++) {
        SearchThread* t = thread_table[i];
        if (!t) continue;
        t->nodes = 0;
        t->tb_hits = 0;
        t->hash_probes = 0;
        t->hash_hits = 0;
        t->iteration_depth = 0;
        t->improvement_depth = 0;
        t->best_move = 0;
    }
    check_time();
    // The strength limit spreads its nodes over the time the move is
    // expected to take, less what the clock loses to the move overhead;
    // depth, node and infinite searches have none.
    const float expected = target_time.load(std::memory_order_relaxed);
    const float usable = std::max(0.005f, expected - float(search_limits.move_overhead) * 0.001f);
    set_strength(expected < 1e6f ? usable : 0.0f);
    search_node_check = std::min(search_limits.node_check, search_limits.max_nodes);
    if (strength_node_budget > 0) search_node_check = std::min(search_node_check, strength_node_budget);

    if (output_mode.noise < SILENT_NOISE && (!output_mode.uci_mode || logging_on())) {
        char fen[128];
        get_fen(g.pos, fen, 1);
        engine_printf("info string fen %s", fen);
        engine_printf("info string clock= %0.2f, target_time= %0.3f", double(mover_clock(search_limits)),
                      double(target_time.load(std::memory_order_relaxed)));
    }
}
