#include "training_data.h"
#include <sys/stat.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include "../eval/network.h"
#include "../position/attacks.h"
#include "../position/position.h"
#include "../search/thread.h"
#include "../system/output.h"
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
    bool loud = output_mode.noise < SILENT_NOISE;
    if (loud) printf("allocated %.0f Mbytes for training data.\n", double(bytes) / 1e6);
    training_count = int64_t(fread(training_records, sizeof(TrainingRecord), size_t(records), f));
    fclose(f);
    if (loud) printf("read %d positions from %s.\n\n", int(training_count), name);
    // A file cut short (or not made of records) ends in part of a record;
    // the whole records are used and the rest is named, not silently lost.
    long long rest = (long long)(st.st_size) - (long long)(training_count) * (long long)(sizeof(TrainingRecord));
    if (rest > 0) printf("ignored %lld bytes at the end of %s: not a whole record.\n", rest, name);
    return 0;
}

void record_fen(const TrainingRecord& r, char* out) {
    uint8_t codes[64];
    for (int sq = 0; sq < 64; sq++) codes[sq] = uint8_t((r.board[sq / 2] >> (4 * (sq & 1))) & 15);
    board_to_fen(codes, r.castle_side >> 4 & 1, r.castle_side & 15, r.ep_square, out);
}

int set_record_position(const TrainingRecord& r, Position& p) {
    // The record becomes FEN text, so that the board reader checks it.
    char fen[100];
    record_fen(r, fen);
    return set_fen(p, fen) == 0;
}

float blended_target(int search_score, int result_score, float result_weight) {
    const double ps = score_to_probability(search_score), pr = score_to_probability(result_score);
    return float(result_weight * pr + (1 - result_weight) * ps);
}

float record_target(const TrainingRecord& r) { return blended_target(r.static_score, r.result, 0.25f); }

void position_to_record(const Position& p, TrainingRecord& r) {
    memset(&r, 0, sizeof r);
    for (int sq = 0; sq < 64; sq++) r.board[sq / 2] |= uint8_t((p.board[sq] & 15) << (4 * (sq & 1)));
    r.castle_side = uint8_t((p.castle & 15) | (p.side << 4));
    r.ep_square = p.ep_square < 64 ? p.ep_square : 64;
}

int record_to_position(const TrainingRecord* records, int64_t i, Position& p, float* target) {
    const TrainingRecord& r = records[i];
    if (!set_record_position(r, p)) return 0;

    if (p.king_sq[WHITE] == NO_SQ || p.king_sq[BLACK] == NO_SQ) return 0;
    for (int c = 0; c < 2; c++)
        if (!(p.bb[c * 8] & ~p.bb[make_piece(c, KING)])) return 0;
    if (is_attacked(p, p.king_sq[p.side ^ 1], p.side)) return 0;
    double ps = score_to_probability(r.static_score), pr = score_to_probability(r.result);
    if (std::fabs(ps - pr) >= 0.5) return 0;
    if (p.thread) p.thread->seed = p.thread->seed * 1664525u + 1013904223u;
    if (target) *target = record_target(r);
    return 1;
}

void position_features(const Position& p, FeatureRecord& f) {
    // Piece bases by type: pawn 64, knight 128, bishop 192, rook 256, queen 320, king 0.
    static const int piece_base[8] = {0, 64, 128, 192, 256, 320, 0, 0};
    const int us = p.side;
    int flip = (p.king_sq[us] < 64 && !(p.king_sq[us] & 4)) ? 7 : 0;
    if (us == BLACK) flip += 56;
    int n = 0;
    for (int type = PAWN; type <= KING; type++)
        for (int colour = WHITE; colour <= BLACK; colour++)
            for (int sq = 0; sq < 64; sq++) {
                if (p.board[sq] != make_piece(colour, type) || n >= 32) continue;
                f.features[n++] = int16_t((colour == us ? 0 : 384) + piece_base[type] + (sq ^ flip));
            }
    for (; n < 32; n++) f.features[n] = NO_FEATURE;
}

bool reserve_records(RecordBuffer& b, int64_t n) {
    if (n <= b.capacity) return true;
    if (n > MAX_TRAINING_RECORDS) n = MAX_TRAINING_RECORDS;
    if (n <= b.capacity) return false;
    auto* grown = static_cast<TrainingRecord*>(realloc(b.data, size_t(n) * sizeof(TrainingRecord)));
    if (!grown) return false;
    b.data = grown;
    b.capacity = n;
    return true;
}

bool add_record(RecordBuffer& b, const TrainingRecord& r) {
    if (b.count >= b.capacity) {
        int64_t want = b.capacity < 65536 ? 65536 : b.capacity * 2;
        if (!reserve_records(b, want)) return false;
    }
    b.data[b.count++] = r;
    return true;
}

void free_records(RecordBuffer& b) {
    free(b.data);
    b = RecordBuffer{};
}

SearchThread* new_tool_block() {
    auto* t = static_cast<SearchThread*>(calloc(1, sizeof(SearchThread)));
    if (!t) return nullptr;
    attach_position(*t);
    setup_move_lists(*t);
    return t;
}

void free_tool_block(SearchThread* t) {
    if (t) release_network_state(t->eval);
    free(t);
}

bool replace_extension(const char* name, const char* from, const char* to, char* out, int size) {
    const char* at = strstr(name, from);
    if (!at) return false;
    snprintf(out, size_t(size), "%.*s%s%s", int(at - name), name, to, at + strlen(from));
    return true;
}
