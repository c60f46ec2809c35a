#include "network_prune.h"
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>
#include "../eval/network.h"
#include "../search/thread.h"
#include "training_data.h"

int prune_network(const char* training_file, const char* output) {
    printf("%s\n", training_file);
    if (read_training_file(training_file) != 0) return 0;
    const Network& n = network;
    SearchThread& t = *thread_table[0];
    attach_position(t);

    printf("Collecting stats ...\n");
    std::vector<float> stats[2];
    for (int64_t i = 0; i < training_count; i++) {
        float target;
        if (!record_to_position(training_records, i, t.pos, &target)) continue;
        if (stats[0].empty()) {
            stats[0].assign(size_t(n.o), 0.0f);
            stats[1].assign(size_t(n.u), 0.0f);
        }
        t.eval.ply = 1;
        network_eval(t.pos, t.eval);
        auto* s = static_cast<NetworkState*>(t.eval.network);
        if (!s) continue;
        network_activations(*s);
        for (int k = 0; k < 2; k++) {
            const int16_t* act = k == WHITE ? s->white_act : s->black_act;
            const int16_t* row = k == t.pos.side ? n.block_a : n.block_b;
            int size = k == WHITE ? n.o : n.u;
            for (int j = 0; j < size; j++) {
                float c = float(act[j]) * float(row[j]);
                stats[k][size_t(j)] += c * c * 0.000001f;
            }
        }
    }
    release_training_file();

    printf("Writing pruned net to %s ...\n", output);
    if (n.o < PRUNED_WIDTH + 1 || stats[0].empty()) return 0;
    const int64_t rows = int64_t(768) * n.buckets;
    const int64_t count = rows * PRUNED_WIDTH + 18 * PRUNED_WIDTH;
    std::vector<float> out;
    try {
        out.assign(size_t(count), 0.0f);
    } catch (...) {
        exit(0);
    }
    float* bias_w = out.data() + rows * PRUNED_WIDTH;
    float* bias_b = bias_w + PRUNED_WIDTH;
    float* block_a = bias_b + PRUNED_WIDTH;
    float* block_b = block_a + 8 * PRUNED_WIDTH;
    for (int j = 0; j < PRUNED_WIDTH; j++) {
        int best = 0;
        float best_value = -1;
        for (int i = 0; i < n.o; i++) {
            float v = (stats[0][size_t(i)] + stats[1][size_t(i)]) / 2;
            if (v > best_value) best_value = v, best = i;
        }
        stats[0][size_t(best)] = stats[1][size_t(best)] = 0;
        for (int64_t r = 0; r < rows; r++) out[size_t(r * PRUNED_WIDTH + j)] = n.features[r * n.o + best];
        bias_w[j] = n.white_bias[best];
        bias_b[j] = n.black_bias[best];
        for (int b = 0; b < 8; b++) {
            block_a[b * PRUNED_WIDTH + j] = n.block_a[int64_t(b) * n.o + best];
            block_b[b * PRUNED_WIDTH + j] = n.block_b[int64_t(b) * n.u + best];
        }
    }

    int16_t header[NN_HEADER_FIELDS];
    for (int i = 0; i < NN_HEADER_FIELDS; i++) header[i] = n.header[i];
    header[NN_WHITE_ACC] = header[NN_BLACK_ACC] = PRUNED_WIDTH;
    header[NN_WEIGHT_DIVISOR] = 4096;
    // The material and hidden layers are not carried over.
    header[NN_MATERIAL] = header[NN_HIDDEN] = 0;
    std::vector<int16_t> stored(static_cast<size_t>(count));
    for (int64_t i = 0; i < count; i++) {
        long v = std::lround(4.0 * double(out[size_t(i)]));
        stored[size_t(i)] = int16_t(v > 4096 ? 4096 : v < -4096 ? -4096 : v);
    }
    return save_network(output, header, stored.data(), count);
}
