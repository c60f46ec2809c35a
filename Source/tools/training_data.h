// The 40-byte training record, its file reader and the conversions of
// scores and results to probabilities.
#pragma once
#include <cstdint>

struct Position;

struct TrainingRecord {
    uint8_t board[32];     // two squares a byte, low nibble first: colour * 8 + type, 0 empty
    uint8_t castle_side;   // castling rights in the low nibble, side to move in the high one
    uint8_t ep_square;     // 64 when there is none
    int16_t result;        // game result as a score for the side to move
    int16_t search_score;  // the EPD ce
    int16_t static_score;  // the EPD sc, within -3000..3000
};
static_assert(sizeof(TrainingRecord) == 40, "training records are 40 bytes on disk");

constexpr int64_t MAX_TRAINING_RECORDS = 449999999;

extern TrainingRecord* training_records;
extern int64_t training_count;

double score_to_probability(double score);
int result_to_score(float fraction);

// Reads a whole ".bin" file of records; 0 on success.
int read_training_file(const char* name);
void release_training_file();
// Sets p (which must have an owning thread) from record index i. 1 when the
// record is usable for training, with *target its blended probability.
int record_to_position(const TrainingRecord* records, int64_t i, Position& p, float* target);
