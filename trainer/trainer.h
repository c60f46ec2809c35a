// Training the built-in network layout from feature records: a float model
// that mirrors the engine's integer inference, Adam with sparse updates of
// the feature rows, and quantisation into the engine's network file.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct Position;

#include "tools/training_data.h"

// The feature record is the engine's (vorn -bin2ptb writes it): the side
// to move's 32 feature numbers, 8193 in empty slots, and the target.
constexpr int16_t EMPTY_FEATURE = NO_FEATURE;

// A training sample as the model reads it: both perspectives' feature
// rows (input bucket already applied) and the output bucket.
struct Sample {
    int16_t own[32], other[32];
    uint8_t count;
    uint8_t bucket;
    float target;
};

// Side-to-move features of a position, in the record's order and frame.
void position_features(const Position& p, int16_t out[32]);
// Both perspectives and the buckets from a record; false for a record
// without a king of each side.
bool sample_from_record(const FeatureRecord& r, Sample& s);

struct TrainerConfig {
    int width = 1280;
    int epochs = 10;
    int batch = 16384;
    float learning_rate = 0.001f;
    float final_learning_rate = 0;  // the last epoch's rate; 0 keeps the rate constant
    float validation = 0.05f;
    uint32_t seed = 1;
    int threads = 2;
    bool quiet = false;
};

// Centipawns per unit of the output before the sigmoid, for a new model.
constexpr int DEFAULT_OUTPUT_SCALE = 300;

struct Model {
    int width = 0;
    // The file's output scale, kept so that a network tuned to another
    // scale trains on and is written with its own.
    int output_scale = DEFAULT_OUTPUT_SCALE;
    std::vector<float> features;  // 1536 rows of width (two input buckets of 768)
    std::vector<float> bias;      // shared by both perspectives
    std::vector<float> own, other;  // 6 output buckets of width
};

void init_model(Model& m, int width, uint32_t seed);
// The model of the network the engine has loaded, to train further from
// it; false unless the network has the built-in layout.
bool model_from_loaded_network(Model& m);
// Centipawns the float model predicts for a sample, for the side to move.
float predict(const Model& m, const Sample& s);
// Trains on the samples; the last held of them (in the order given) are
// held out. Returns the validation loss of the model kept.
double train(Model& m, std::vector<Sample>& samples, size_t held, const TrainerConfig& config);
// Writes the model as a network file the engine loads; true on success.
// clamped_weights, when given, receives the number of weights cut at the
// file's limit.
bool write_network(const Model& m, const std::string& path, int* clamped_weights = nullptr);
// How far the engine's integer inference of a network file lies from the
// float model on samples: mean and largest difference in centipawns, over
// the samples whose float score is inside the engine's limit.
struct Agreement {
    double mean = 0, worst = 0;
    int compared = 0;
};
// Loads the file into the engine (it stays loaded); false when it fails.
bool compare_with_engine(const Model& m, const Sample* samples, size_t n, const std::string& path, Agreement& out);

// Samples from a file of 40-byte training records (vorn -epd2bin), each
// target the blend above; false when the file cannot be read.
bool read_record_file(const std::string& path, float result_weight, std::vector<Sample>& out);
// How well the search scores of records predict their game results: the
// slope k of sigmoid(k x score) with the least squared error, that error,
// and the error at the slope the targets use (0.005).
struct ScaleFit {
    double slope = 0, best = 0, at_trained = 0;
};
ScaleFit fit_result_scale(const TrainingRecord* records, int64_t n);

// Reads a file of feature records.
bool read_feature_file(const std::string& path, std::vector<FeatureRecord>& out);
