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
        const int net = network_eval(t->pos, t->eval);
        if (net == -10001) break;  // no network buffers
        t->eval.ply = 1;
        const int hce = hce_eval(t->pos, t->eval);
        const double result = score_to_probability(records[i].result);
        auto err = [&](double score, double against) {
            const double d = score_to_probability(score) - against;
            return d * d;
        };
        out.network += err(net, target);
        out.handmade += err(hce, target);
        out.recorded += err(records[i].static_score, target);
        out.network_result += err(net, result);
        out.handmade_result += err(hce, result);
        out.recorded_result += err(records[i].static_score, result);
        out.positions++;
    }
    free_tool_block(t);
    if (out.positions) {
        for (double* v : {&out.network, &out.handmade, &out.recorded, &out.network_result, &out.handmade_result,
                          &out.recorded_result})
            *v /= double(out.positions);
    }
    return out;
}
