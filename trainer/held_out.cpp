#include "held_out.h"
#include "eval/hce.h"
#include "eval/network.h"
#include "search/thread.h"

HeldOutLosses held_out_losses(const TrainingRecord* records, int64_t count, int step) {
    HeldOutLosses out;
    SearchThread* t = new_tool_block();
    if (!t) return out;
    for (int64_t i = 0; i < count; i += step < 1 ? 1 : step) {
        float target;
        if (!record_to_position(records, i, t->pos, &target)) continue;
        t->eval.ply = 1;
        const int net = network_eval(*t);
        if (net == -10001) break;  // no network buffers
        t->eval.ply = 1;
        const int hce = hce_eval(*t);
        auto err = [&](double score) {
            const double d = score_to_probability(score) - target;
            return d * d;
        };
        out.network += err(net);
        out.handmade += err(hce);
        out.recorded += err(records[i].static_score);
        out.positions++;
    }
    free_tool_block(t);
    if (out.positions) {
        out.network /= double(out.positions);
        out.handmade /= double(out.positions);
        out.recorded /= double(out.positions);
    }
    return out;
}
