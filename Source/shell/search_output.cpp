#include "search_output.h"
#include <cstdio>
#include "../position/makemove.h"
#include "../position/notation.h"
#include "../search/hash.h"
#include "../search/search.h"
#include "../system/output.h"

namespace {

// Line text in coordinate notation. The moves are replayed on the worker's
// own root position, which is back at the root whenever the search
// reports; a move that does not fit the position ends the text.
int line_text(Position& p, const Move* line, int max_moves, bool folded, char* out, int size) {
    int n = 0, len = 0;
    out[0] = 0;
    for (int i = 1; i <= MAX_PLY && line[i] && n < max_moves; i++) {
        if (hash_move_problem(p, line[i])) break;
        char text[16];
        move_to_text(p, p.side, line[i], text);
        if (len + 48 >= size) break;
        if (folded && n > 0 && n % 8 == 0) len += snprintf(out + len, size - len, "\n%30s", "");
        len += snprintf(out + len, size - len, n ? " %s" : "%s", text);
        make_move(p, line[i]);
        n++;
    }
    for (int i = 0; i < n; i++) unmake_move(p);
    return n;
}

}  // namespace

void print_search_report(const SearchReport& r) {
    if (!r.line) {
        // Progress at the start of a long iteration: the protocol only.
        engine_printf("info depth %d time %.0f nodes %.0f nps %.0f hashfull %.0f", r.depth, double(r.seconds) * 1000.0,
                      r.nodes, r.nps, r.hashfull);
        return;
    }
    char score_text[32];
    if (r.score >= MATE_SHOWN) snprintf(score_text, sizeof score_text, "mate %d", (MATE - r.score) / 2);
    else if (r.score <= -MATE_SHOWN) snprintf(score_text, sizeof score_text, "mate -%d", (r.score + MATE + 1) / 2);
    else snprintf(score_text, sizeof score_text, "cp %d", r.score);
    char multipv[24] = "";
    if (r.multipv > 1) snprintf(multipv, sizeof multipv, "multipv %d ", r.pv_index);
    char moves[2048];
    if (output_mode.uci_mode) {
        line_text(*r.root, r.line, 80, false, moves, sizeof moves);
        engine_printf("info %sdepth %d seldepth %d score %s time %.0f nodes %.0f nps %.0f tbhits %.0f hashfull %.0f pv %s",
                      multipv, r.depth, r.seldepth, score_text, double(r.seconds) * 1000.0, r.nodes, r.nps, r.tb_hits,
                      r.hashfull, moves);
    } else {
        line_text(*r.root, r.line, r.stopping ? 32 : 8, true, moves, sizeof moves);
        char lower = r.multipv > 1 && r.pv_index > 1 ? '.' : ' ';
        engine_printf("%02d] %02d%c %5.1f %7.0fK %5d  %s", r.worker, r.depth, lower, double(r.seconds),
                      r.nodes / 1000.0, r.score, moves);
        if (r.multipv > 1 && r.pv_index == r.multipv) engine_print("");
    }
}

void print_table_counters() {
    const TableCounters c = table_counters();
    auto percent = [](uint64_t part, uint64_t whole) { return whole ? 100.0 * double(part) / double(whole) : 0.0; };
    engine_printf("Hash fill= %.1f%%, Hash hits: main= %0.1f%%, pawn= %0.1f%%, eval= %0.1f%%, TB=%0.0fK",
                  c.hash_fill * 100.0, percent(c.hits, c.probes), percent(c.pawn_hits, c.pawn_probes),
                  percent(c.eval_hits, c.evals), double(c.tb_hits) / 1000.0);
    engine_print("");
}
