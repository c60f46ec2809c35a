#include "training_data.h"
#include <sys/stat.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include "../position/attacks.h"
#include "../position/position.h"
#include "../search/thread.h"
#include "../shell/output.h"
#include "../shell/settings.h"
#include "board_text.h"

TrainingRecord* training_records = nullptr;
int64_t training_count = 0;

double score_to_probability(double score) { return 1.0 / (1.0 + std::exp(-0.005 * score)); }

int result_to_score(float fraction) {
    const float lo = 0.000001f, hi = 0.999999f;
    float x = fraction < lo ? lo : fraction > hi ? hi : fraction;
    double s = std::trunc(-200.0 * std::log(1.0 / double(x) - 1.0));
    return int(s < -3000 ? -3000 : s > 3000 ? 3000 : s);
}

void release_training_file() {
    free(training_records);
    training_records = nullptr;
    training_count = 0;
}

int read_training_file(const char* name) {
    if (!strstr(name, ".bin")) return 1;
    release_training_file();
    srand(unsigned(time(nullptr)));
    struct stat st;
    FILE* f = fopen(name, "rb");
    if (!f || fstat(fileno(f), &st) != 0) {
        if (f) fclose(f);
        engine_printf("can't open %s", name);
        return 2;
    }
    // Room for the records the file holds (up to the record limit), not
    // the fixed 18 GB block: the same records, on machines of any size.
    int64_t records = int64_t(st.st_size) / int64_t(sizeof(TrainingRecord));
    if (records > MAX_TRAINING_RECORDS) records = MAX_TRAINING_RECORDS;
    size_t bytes = size_t(records) * sizeof(TrainingRecord);
    training_records = static_cast<TrainingRecord*>(malloc(bytes ? bytes : 1));
    if (!training_records) {
        fclose(f);
        return 3;
    }
    bool loud = settings.noise < 99999.0f;
    if (loud) printf("allocated %.0f Mbytes for training data.\n", double(bytes) / 1e6);
    training_count = int64_t(fread(training_records, sizeof(TrainingRecord), size_t(records), f));
    fclose(f);
    if (loud) printf("read %d positions from %s.\n\n", int(training_count), name);
    return 0;
}

int record_to_position(const TrainingRecord* records, int64_t i, Position& p, float* target) {
    const TrainingRecord& r = records[i];
    // The record becomes FEN text, so that the board reader checks it.
    uint8_t codes[64];
    for (int sq = 0; sq < 64; sq++) codes[sq] = uint8_t((r.board[sq / 2] >> (4 * (sq & 1))) & 15);
    char fen[100];
    board_to_fen(codes, r.castle_side >> 4 & 1, r.castle_side & 15, r.ep_square, fen);
    if (set_fen(p, fen) != 0) return 0;

    if (p.king_sq[WHITE] == NO_SQ || p.king_sq[BLACK] == NO_SQ) return 0;
    for (int c = 0; c < 2; c++)
        if (!(p.bb[c * 8] & ~p.bb[make_piece(c, KING)])) return 0;
    if (is_attacked(p, p.king_sq[p.side ^ 1], p.side)) return 0;
    double ps = score_to_probability(r.static_score), pr = score_to_probability(r.result);
    if (std::fabs(ps - pr) >= 0.5) return 0;
    if (p.thread) p.thread->seed = p.thread->seed * 1664525u + 1013904223u;
    if (target) *target = float(0.25 * pr + 0.75 * ps);
    return 1;
}
