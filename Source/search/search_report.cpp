// Figures of the last search for the console summary and the analyser.
#include <cmath>
#include "hash.h"
#include "search.h"
#include "search_control.h"
#include "thread.h"

double effective_branching_factor() {
    int d = shared.iteration_depth;
    if (d < 6 || d >= MAX_PLY + 2) return 0;
    double last = double(shared.nodes_per_depth[d]), earlier = double(shared.nodes_per_depth[d - 4]);
    if (earlier <= 0 || last <= 0) return 0;
    return std::pow(last / earlier, 0.25);
}

TableCounters table_counters() {
    Counters c = sum_counters();
    uint64_t pawn_probes = 0, pawn_hits = 0, evals = 0, eval_hits = 0;
    int threads = effective_threads();
    for (int i = 0; i < threads && i < MAX_THREADS; i++) {
        const SearchThread* t = thread_table[i];
        if (!t) continue;
        pawn_probes += t->eval.pawn_probes;
        pawn_hits += t->eval.pawn_hits;
        evals += t->eval.evals;
        eval_hits += t->eval.cache_hits;
    }
    update_hashfull();
    return {hashfull_fraction(), c.probes, c.hits, pawn_probes, pawn_hits, evals, eval_hits, c.tb_hits};
}
