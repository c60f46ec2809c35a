// Statistics over training files: the material histogram (-tdstats) and
// the material-keyed correction table of the network (-gencorrhist).
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include "../eval/network.h"
#include "../search/thread.h"
#include "training_data.h"
#include "training_tools.h"


void training_stats(const char* bin_file) {
    if (read_training_file(bin_file) != 0) return;
    SearchThread* block = new_tool_block();
    if (!block) return release_training_file();
    constexpr int SLOTS = 80;
    int counts[SLOTS] = {};
    for (int64_t i = 0; i < training_count; i++) {
        if (!record_to_position(training_records, i, block->pos, nullptr)) continue;
        const Position& p = block->pos;
        int material = 0;
        for (int c = 0; c < 2; c++)
            material += 3 * (piece_count(p, c, KNIGHT) + piece_count(p, c, BISHOP)) + 5 * piece_count(p, c, ROOK) +
                        9 * piece_count(p, c, QUEEN);
        // Promotions can carry the sum past the table; those share the last line.
        counts[material < SLOTS ? material : SLOTS - 1]++;
    }
    for (int i = 0; i < SLOTS; i++) printf("%2d.  %8d\n", i, counts[i]);
    free_tool_block(block);
    release_training_file();
}

void correction_stats(const char* bin_file) {
    if (read_training_file(bin_file) != 0) return;
    SearchThread* block = new_tool_block();
    if (!block) return release_training_file();
    constexpr int SLOTS = 200;
    double mean[SLOTS] = {};
    int count[SLOTS] = {};
    for (int64_t i = 0; i < training_count; i++) {
        float target;
        if (!record_to_position(training_records, i, block->pos, &target)) continue;
        const Position& p = block->pos;
        int eval = network_eval(block->pos, block->eval);
        if (eval == -10001) break;  // no network buffers
        int us = p.side, them = us ^ 1;
        auto diff = [&](int type) { return piece_count(p, us, type) - piece_count(p, them, type); };
        int dp = diff(PAWN), dm = diff(KNIGHT) + diff(BISHOP), dr = diff(ROOK) + diff(QUEEN);
        int index = (dp < -4 ? 96 : (dp < 4 ? dp : 4) + 100) + (dm < -4 ? -20 : (dm < 4 ? dm : 4) * 5) +
                    (dr < -3 ? -75 : (dr < 3 ? dr : 3) * 25);
        if (index < 0 || index >= SLOTS) continue;
        int x = result_to_score(target) - eval;
        x = x < -100 ? -100 : x > 100 ? 100 : x;
        count[index]++;
        mean[index] += (x - mean[index]) / count[index];
    }
    for (int i = 0; i < SLOTS; i++) printf("%d, ", int(std::lround(mean[i] * (count[i] < 256 ? count[i] : 256) / 256.0)));
    printf("\n");
    free_tool_block(block);
    release_training_file();
}
