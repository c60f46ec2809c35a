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

// The piece-list record for a network trainer: one feature number per
// piece (side base + piece base + oriented square), 8193 in empty slots.
struct FeatureRecord {
    int16_t features[32];
    float target;
};
static_assert(sizeof(FeatureRecord) == 68, "feature records are 68 bytes on disk");
constexpr int16_t NO_FEATURE = 8193;

constexpr int64_t MAX_TRAINING_RECORDS = 449999999;

extern TrainingRecord* training_records;
extern int64_t training_count;

double score_to_probability(double score);
int result_to_score(float fraction);

// The feature record of a position, seen from the side to move.
void position_features(const Position& p, FeatureRecord& f);

// Reads a whole ".bin" file of records; 0 on success.
int read_training_file(const char* name);
void release_training_file();
// The record's board as FEN text (room for 100 bytes).
void record_fen(const TrainingRecord& r, char* out);
// Sets p from the record's board; false when the board reader refuses it.
int set_record_position(const TrainingRecord& r, Position& p);
// A training target: result_weight of the game result's probability and
// the rest the search score's.
float blended_target(int search_score, int result_score, float result_weight);
// The blended training target of a record: result weight 0.25.
float record_target(const TrainingRecord& r);
// The board part of a record (scores left 0).
void position_to_record(const Position& p, TrainingRecord& r);
// Sets p (which must have an owning thread) from record index i. 1 when the
// record is usable for training, with *target its blended probability.
int record_to_position(const TrainingRecord* records, int64_t i, Position& p, float* target);

// Records collected by a tool: grown as needed, up to the record limit,
// instead of one block reserved for the largest possible file.
struct RecordBuffer {
    TrainingRecord* data = nullptr;
    int64_t count = 0, capacity = 0;
};
// Room for at least n records; false when memory cannot be had.
bool reserve_records(RecordBuffer& b, int64_t n);
// Adds a record; false at the record limit or without memory.
bool add_record(RecordBuffer& b, const TrainingRecord& r);
void free_records(RecordBuffer& b);

// Scratch search block for a tool that sets positions but does not search.
struct SearchThread;
SearchThread* new_tool_block();
// Frees a tool block with the network state its evaluations made.
void free_tool_block(SearchThread* t);

// Output name: name with its first from replaced by to; false without from.
bool replace_extension(const char* name, const char* from, const char* to, char* out, int size);
