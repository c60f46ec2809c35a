#include "tune_hce.h"
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include "eval/hce.h"
#include "eval/params.h"
#include "search/thread.h"

namespace {

// One search block per tuning thread, made once: the evaluation reads its
// position and caches from it.
SearchThread* blocks[16];

SearchThread& block(int i) {
    if (!blocks[i]) {
        blocks[i] = static_cast<SearchThread*>(calloc(1, sizeof(SearchThread)));
        if (!blocks[i]) {
            fprintf(stderr, "out of memory\n");
            exit(1);
        }
    }
    return *blocks[i];
}

void error_part(const std::vector<TuneSample>& samples, size_t from, size_t to, double k, int t, double* out) {
    SearchThread& b = block(t);
    double sum = 0;
    for (size_t i = from; i < to; i++) {
        b.pos = samples[i].pos;
        attach_position(b);
        // Ply 1: the pawn cache is bypassed, so changed weights are always seen.
        b.eval.ply = 1;
        double e = hce_eval(b.pos, b.eval);
        double p = 1.0 / (1.0 + std::exp(-k * e));
        sum += (p - samples[i].result) * (p - samples[i].result);
    }
    *out = sum;
}

}  // namespace

double tune_error(const std::vector<TuneSample>& samples, double k, int threads) {
    if (samples.empty()) return 0;
    if (threads < 1) threads = 1;
    if (threads > 16) threads = 16;
    double parts[16] = {};
    std::vector<std::thread> pool;
    size_t per = (samples.size() + size_t(threads) - 1) / size_t(threads);
    for (int t = 0; t < threads; t++) {
        size_t from = size_t(t) * per, to = std::min(samples.size(), from + per);
        if (from >= to) break;
        pool.emplace_back(error_part, std::cref(samples), from, to, k, t, &parts[t]);
    }
    for (auto& th : pool) th.join();
    double sum = 0;
    for (double p : parts) sum += p;
    return sum / double(samples.size());
}

double fit_scale(const std::vector<TuneSample>& samples, int threads) {
    // Golden-section search over a wide range of scales.
    double lo = 0.0005, hi = 0.02;
    const double g = 0.6180339887;
    double a = hi - g * (hi - lo), b = lo + g * (hi - lo);
    double fa = tune_error(samples, a, threads), fb = tune_error(samples, b, threads);
    for (int i = 0; i < 30; i++) {
        if (fa < fb) {
            hi = b;
            b = a;
            fb = fa;
            a = hi - g * (hi - lo);
            fa = tune_error(samples, a, threads);
        } else {
            lo = a;
            a = b;
            fa = fb;
            b = lo + g * (hi - lo);
            fb = tune_error(samples, b, threads);
        }
    }
    return (lo + hi) / 2;
}

double tune_parameters(const std::vector<TuneSample>& samples, const TuneConfig& config) {
    const double k = config.fit_scale ? fit_scale(samples, config.threads) : 0.005;
    double best = tune_error(samples, k, config.threads);
    if (!config.quiet) printf("scale %.6f, error %.8f\n", k, best);
    for (int sweep = 0; sweep < config.sweeps; sweep++) {
        int changed = 0;
        for (int i = 0; i < TTUNE; i++) {
            if (i == MTL_PAWN) continue;
            for (int half = 0; half < 2; half++) {
                EvalParam& p = eval_params[i];
                const int mg = int(p.mg), eg = int(p.eg);
                for (int dir : {+1, -1}) {
                    int d = dir * config.step;
                    set_param(i, half ? mg : mg + d, half ? eg + d : eg);
                    double e = tune_error(samples, k, config.threads);
                    if (e < best) {
                        best = e;
                        changed++;
                        break;
                    }
                    set_param(i, mg, eg);
                }
            }
        }
        if (!config.quiet) printf("sweep %d: %d weights moved, error %.8f\n", sweep + 1, changed, best);
        if (!changed) break;
    }
    return best;
}
