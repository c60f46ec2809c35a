#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "../eval/evaluate.h"
#include "../position/attacks.h"
#include "../position/makemove.h"
#include "../position/movegen.h"
#include "../position/see.h"
#include "../pyrrhic/tablebase.h"
#include "hash.h"
#include "picker.h"
#include "search.h"
#include "search_control.h"
#include "strength.h"
#include "time_control.h"

SharedResult shared;

namespace {

constexpr int MAX_PV_LINES = MAX_PV_RESULTS;
// Lines of the main worker's multi-PV set, by PV index.
Move pv_lines[MAX_PV_LINES][MAX_PLY + 2];

constexpr int16_t losing_capture[8] = {0, 4, 12, 12, 16, 20, 20, 0};
constexpr int16_t good_capture[8] = {0, 220, 230, 230, 240, 250, 250, 0};

inline bool stopped() { return stop_search.load(std::memory_order_relaxed) != 0; }

void score_root_move(SearchThread& t, MoveEntry& e, Move table_move) {
    const Position& p = t.pos;
    if (e.move == table_move) {
        e.score = 255;
        return;
    }
    int mover = piece_type(e.piece), victim = piece_type(e.captured);
    bool castling = (e.move & FLAG_MASK) && mover == KING;
    if (!castling && mover == PAWN && move_to(e.move) == p.ep_square) victim = PAWN;
    if (!castling && victim) {
        if (see_move(p, p.side, move_from(e.move), move_to(e.move)) < -49) e.score = losing_capture[victim];
        else e.score = int16_t(good_capture[victim] - mover);
        return;
    }
    e.score = int16_t(quiet_score(t, t.plies[1], e));
}

// Root moves keep their order among equals: a stable sort, best first.
void sort_moves(MoveEntry* from, MoveEntry* end) {
    std::stable_sort(from, end, [](const MoveEntry& a, const MoveEntry& b) { return a.score > b.score; });
}

void record_line(SearchThread& t, Move m, const Move* child) {
    t.pv[1] = m;
    int i = 2;
    for (; i <= MAX_PLY - 1 && child[i]; i++) t.pv[i] = child[i];
    t.pv[i] = 0;
}

void publish_result_only(SearchThread& t, int depth, int score) {
    shared.depth = depth;
    shared.score = score;
    shared.best = t.pv[1];
    for (int i = 0; i < MAX_PLY + 2; i++) shared.pv[i] = t.pv[i];
    if (depth < MAX_PLY + 2) {
        shared.depth_score[depth] = int16_t(score);
        shared.depth_move[depth] = t.pv[1];
    }
}

}  // namespace

Counters sum_counters() {
    Counters c = {0, 0, 0, 0};
    int n = effective_threads();
    for (int i = 0; i < n; i++) {
        SearchThread* t = thread_table[i];
        if (!t || (i > 0 && t->iteration_depth <= 1)) continue;
        c.nodes += t->nodes;
        c.tb_hits += t->tb_hits;
        c.probes += t->hash_probes;
        c.hits += t->hash_hits;
    }
    return c;
}

void print_info(int index, int pv_index, int depth, int score, const Move* line) {
    float now = read_clock(false);
    Counters c = sum_counters();
    bool stop = stopped();
    if (!(stop || now >= output_mode.noise) || output_mode.noise == SILENT_NOISE || depth <= 0 || !line[1]) return;
    if (!search_host().report) return;
    SearchThread& t = *thread_table[index];
    double hashfull = 0;
    if (depth > 6) {
        update_hashfull();
        hashfull = hashfull_fraction() * 1000.0;
    }
    double nodes = double(c.nodes);
    double nps = now + 0.002 > 0.02 ? nodes / (now + 0.002) : 0;
    SearchReport r = {index, pv_index, search_options.multipv, depth, int(t.seldepth), score, now, nodes, nps,
                      double(c.tb_hits), hashfull, stop, line, &t.pos};
    search_host().report(r);
}

void publish_best(SearchThread& t) {
    if (t.best_move != shared.best) shared.change_depth = int(t.iteration_depth);
    int depth = t.iteration_depth;
    publish_result_only(t, depth, t.root_score);
    if (depth > 1 && search_options.multipv == 1) print_info(0, 1, depth, t.root_score, shared.pv);
}

namespace {

// Clears what a worker keeps from its last search.
void reset_worker(SearchThread& t) {
    for (PlyEntry& pe : t.plies) memset(static_cast<void*>(&pe), 0, sizeof pe);
    t.plies[0].tb_result = t.plies[1].tb_result = TB_NONE;
    setup_move_lists(t);
    init_history(t);
    t.nodes = 0;
    t.tb_hits = 0;
    t.hash_probes = 0;
    t.hash_hits = 0;
    t.seldepth = 0;
    t.iteration_depth = 0;
    t.root_state = ROOT_IN_WINDOW;
    t.improvement_depth = 0;
    t.best_move = 0;
    t.game.ply = 1;
    for (Move& m : t.pv) m = 0;
}

// The legal root moves that go searchmoves allows, in the root ply's block
// of the move buffer, table move first and the rest by ordering score.
// Returns the end marker.
MoveEntry* root_moves(SearchThread& t) {
    Position& p = t.pos;
    MoveEntry* list = t.plies[1].moves;
    MoveEntry* end = gen_all(p, list);
    LegalityInfo li = legality_info(p);
    MoveEntry* keep = list;
    for (MoveEntry* e = list; e < end; e++)
        if (is_legal_fast(p, li, *e) && root_move_allowed(search_limits, e->move)) *keep++ = *e;
    end = keep;
    end->move = MOVE_END;
    if (end == list) return end;
    HashHit hit;
    Move table_move = probe(p, hit) ? hit.move : 0;
    for (MoveEntry* e = list; e < end; e++) score_root_move(t, *e, table_move);
    sort_moves(list, end);
    return end;
}

// Tablebase root: keeps the moves that keep the result; late in the
// fifty-move cycle plays the DTZ move without searching. Returns true when
// that move is the answer.
bool tablebase_root(SearchThread& t, MoveEntry* list, MoveEntry*& end) {
    Position& p = t.pos;
    const int r = tb_filter_root(p, list, end, output_mode.noise != SILENT_NOISE);
    shared.root_tb_result = r;
    t.plies[1].tb_result = r;
    Move tb_move;
    int tb_score;
    if (r == TB_NONE || !tb_root_move(p, list, end, tb_move, tb_score)) return false;
    t.pv[1] = tb_move;
    t.pv[2] = 0;
    t.best_move = tb_move;
    t.root_score = int16_t(tb_score);
    publish_result_only(t, 99, tb_score);
    return true;
}

// Helpers search a depth near the main worker's (every other one a ply
// further) and shake their move order a little, so that the workers part
// ways and fill the shared table with different lines.
int helper_iteration(SearchThread& t, int N, int max_depth, MoveEntry* list, MoveEntry* end) {
    if (N > 5 && search_options.multipv == 1) {
        if (t.index & 4) N++;
        int md = shared.main_depth;
        if (N < md) N = md;
        if (N > md + 3) N = md + 3;
        if (N > max_depth) N = max_depth;
        if (N < 1) N = 1;
    }
    for (MoveEntry* e = list + 1; e < end; e++) {
        t.seed = t.seed * 1664525u + 1013904223u;
        e->score = int16_t(e->score - int(t.seed % 15));
    }
    return N;
}

// The UCI progress line at the start of a long iteration, so that a front
// end sees the search alive between PVs.
void report_progress(SearchThread& t, int N) {
    float now = read_clock(false);
    if (now <= 3.5f || now <= output_mode.noise || !search_host().report) return;
    Counters c = sum_counters();
    double nps = double(c.nodes) / (now + 0.002);
    update_hashfull();
    SearchReport r = {t.index, 1, search_options.multipv, N, int(t.seldepth), 0, now, double(c.nodes), nps,
                      double(c.tb_hits), hashfull_fraction() * 1000.0, false, nullptr, &t.pos};
    search_host().report(r);
}

// One PV line of iteration N: the root moves from `first` on, inside an
// aspiration window around the line's last score that widens by half again
// after each fail. Returns the line's score (meaningless once stopped).
int search_root_line(SearchThread& t, int k, int N, MoveEntry* first, MoveEntry* end, int prev, bool has_material) {
    const bool main = t.index == 0;
    Position& p = t.pos;
    const int side = p.side;
    PlyEntry& root = t.plies[1];
    Move child[MAX_PLY + 2];
    int delta = std::abs(prev) > 2047 ? 143 : std::abs(prev) / 16 + 15;
    if (N < 7 && target_nps > 1500) delta += 70 - 10 * N;
    int alpha = N <= 1 ? -SCORE_INFINITE : prev - delta;
    int beta = N <= 1 ? SCORE_INFINITE : prev + delta;
    int best = SCORE_NONE;

    for (int attempt = 0; attempt < 20; attempt++) {
        if (alpha < -SCORE_INFINITE) alpha = -SCORE_INFINITE;
        if (beta > SCORE_INFINITE) beta = SCORE_INFINITE;
        root.node_type = NODE_PV;
        root.depth = int16_t(N);
        root.alpha = int16_t(alpha);
        root.beta = int16_t(beta);
        const int attempt_alpha = alpha;
        int a = alpha;
        best = SCORE_NONE;
        int searched = 0;
        MoveEntry* e = first;
        for (; e->move != MOVE_END; e++) {
            pick_best(e);
            Move m = e->move;
            uint16_t flags = classify_move(p, *e);
            root.move_flags = flags;
            if (main && k == 0 && output_mode.uci_mode && e == first) report_progress(t, N);
            // Late quiet root moves are tried a ply shallower first.
            int reduction = N > 4 && flags == 0 && searched >= 3 && has_material ? 1 : 0;
            e->score = int16_t(a - searched - 1);
            make_move(p, m);
            int score;
            if (e == first || N == 1) {
                score = -search(p, side ^ 1, 2, N - 1, -beta, -a, NODE_PV, child);
            } else {
                score = -search(p, side ^ 1, 2, N - reduction - 1, -a - 1, -a, NODE_CUT, child);
                if (score > a && !(score > beta && reduction == 0))
                    score = -search(p, side ^ 1, 2, N - 1, -beta, -a, NODE_PV, child);
            }
            unmake_move(p);
            if (stopped()) break;
            searched++;
            if (score > a) e->score = int16_t(score);
            if (score > best) {
                best = score;
                if (k == 0) {
                    t.root_score = int16_t(score);
                    t.best_move = m;
                    t.improvement_depth = uint8_t(N);
                    record_line(t, m, child);
                    if (main) publish_best(t);
                }
                if (main) {
                    pv_lines[k][1] = m;
                    int i = 2;
                    for (; i <= MAX_PLY - 1 && child[i]; i++) pv_lines[k][i] = child[i];
                    pv_lines[k][i] = 0;
                }
                if (score > a) a = score;
            }
            t.root_state = best <= attempt_alpha ? ROOT_FAILING_LOW : best >= beta ? ROOT_FAILING_HIGH : ROOT_IN_WINDOW;
            if (best >= beta) break;
        }
        if (!stopped()) {
            // Unsearched moves go last; the searched ones by their new scores.
            if (e->move != MOVE_END) e++;
            for (MoveEntry* u = e; u->move != MOVE_END; u++) u->score = SCORE_NONE;
            sort_moves(first, end);
        }
        if (stopped()) break;
        if (best > attempt_alpha && best < beta) break;
        if (best <= attempt_alpha) alpha = std::min(best, attempt_alpha - delta);
        else beta = std::max(best, beta + delta);
        delta += delta / 2;
    }
    return best;
}

// The end of iteration N: node and time statistics, then whether the
// search is over (stopped, a mate found within the depth, the depth limit,
// or the end of the history or ply stack).
bool iteration_ends_search(SearchThread& t, int N, int max_depth) {
    const bool main = t.index == 0;
    t.root_state = ROOT_IN_WINDOW;
    search_lock.lock();
    if (N < MAX_PLY + 2) shared.nodes_per_depth[N] += t.nodes;
    search_lock.unlock();
    if (main && !stopped()) {
        shared.iteration_time = read_clock(false);
        shared.iteration_depth = N;
    }
    int score = t.root_score;
    // A mate found ends the search, whether or not a go mate asked for one.
    const bool mate_found = score >= MATE - 1 - N || score < N - (MATE - 1);
    return stopped() || mate_found || N >= max_depth || N + t.game.depth > 883 || N + 1 > MAX_PLY - 1;
}

// The main worker's PV set for the callers that read more than the best
// move (MultiPV users and the tools), best first.
void publish_pv_set(SearchThread& t, int multipv, const int* pv_scores) {
    int n = 0;
    for (int k = 0; k < multipv && k < MAX_PV_LINES && pv_scores[k] != SCORE_NONE; k++) {
        // With one line the per-PV record is not kept; the thread's line is the same.
        Move first = multipv > 1 ? pv_lines[k][1] : Move(t.best_move);
        if (!first) break;
        search_result.pv_first[n] = first;
        search_result.pv_score[n++] = multipv > 1 ? pv_scores[k] : int(t.root_score);
    }
    search_result.pv_count = n;
}

}  // namespace

void root_search(int index) {
    if (index >= effective_threads()) return;
    // A tablebase root is searched by the main worker alone.
    if (index > 0 && shared.root_tb_result != TB_NONE) return;
    SearchThread& t = *thread_table[index];
    const bool main = index == 0;
    Position& p = t.pos;
    const int side = p.side;
    reset_worker(t);

    // The root's static value and, for the main worker, its quiescence
    // line: the answer of a depth-0 search and a value for the tools.
    Bitboard checkers = attackers_of(p, p.king_sq[side], side ^ 1);
    const int in_check = checkers != 0;
    PlyEntry& root = t.plies[1];
    root.in_check = int16_t(in_check);
    root.check_sq = uint8_t(in_check ? lsb(checkers) : NO_SQ);
    const int eval = evaluate(t.pos, t.eval, side, 1, in_check);
    root.eval = int16_t(eval);
    t.plies[0].eval = int16_t(-eval);
    t.root_score = int16_t(eval);

    const int max_depth = search_limits.max_depth > MAX_PLY - 1 ? MAX_PLY - 1 : search_limits.max_depth;
    Move qline[MAX_PLY + 2] = {};
    int qscore = eval;
    if (main && !in_check) {
        root.node_type = NODE_PV;
        qscore = quiesce(p, side, 1, 0, -SCORE_INFINITE, SCORE_INFINITE, NODE_PV, qline);
    }
    if (main) {
        search_result.root_eval = eval;
        search_result.root_qscore = qscore;
        search_result.pv_count = 0;
    }

    MoveEntry* list = root.moves;
    MoveEntry* end = root_moves(t);
    const int move_count = int(end - list);
    if (main && move_count == 0) {
        // Mate or stalemate: the result, and no move.
        t.pv[1] = 0;
        publish_result_only(t, 1, in_check ? MATED_AT_ROOT : 0);
        t.root_score = int16_t(in_check ? MATED_AT_ROOT : 0);
        stop_search.store(1, std::memory_order_relaxed);
        return;
    }
    if (move_count == 0) return;
    if (main) shared.single_reply = move_count == 1;

    if (main && max_depth < 1) {
        // A depth-0 search answers with the quiescence line; a quiet
        // position (or one in check) still needs a move to report, so the
        // best-ordered root move stands in.
        if (!qline[1] || in_check) {
            qline[1] = list[0].move;
            qline[2] = 0;
        }
        record_line(t, qline[1], qline);
        t.root_score = int16_t(in_check ? eval : qscore);
        t.best_move = qline[1];
        publish_result_only(t, 1, t.root_score);
        stop_search.store(1, std::memory_order_relaxed);
        return;
    }
    if (main && tablebase_root(t, list, end)) {
        stop_search.store(1, std::memory_order_relaxed);
        return;
    }

    const int multipv = main ? (search_options.multipv < 1 ? 1 : search_options.multipv) : 1;
    const bool has_material = p.bb[make_piece(side, PAWN)] &&
                              (p.bb[side * 8] & ~p.bb[make_piece(side, PAWN)] & ~p.bb[make_piece(side, KING)]);
    int pv_scores[MAX_PV_LINES];
    for (int k = 0; k < MAX_PV_LINES; k++) pv_scores[k] = SCORE_NONE;
    if (main) {
        // Something legal to answer with even if the first iteration is cut short.
        t.pv[1] = list[0].move;
        t.pv[2] = 0;
        publish_result_only(t, 0, eval);
        t.pv[1] = 0;
    }

    // Iterative deepening: each iteration searches every PV line in turn.
    for (int N = 1;; N++) {
        if (!main) N = helper_iteration(t, N, max_depth, list, end);
        if (main) shared.main_depth = N;
        t.iteration_depth = uint8_t(N);
        for (int k = 0; k < multipv && list[k].move != MOVE_END; k++) {
            int prev = k == 0 || pv_scores[k] == SCORE_NONE ? int(t.root_score) : pv_scores[k];
            int best = search_root_line(t, k, N, list + k, end, prev, has_material);
            if (stopped()) break;
            pv_scores[k] = best;
            if (main && multipv > 1) print_info(0, k + 1, N, best, pv_lines[k]);
        }
        if (iteration_ends_search(t, N, max_depth)) break;
    }
    if (main) {
        publish_pv_set(t, multipv, pv_scores);
        stop_search.store(1, std::memory_order_relaxed);
    }
}
