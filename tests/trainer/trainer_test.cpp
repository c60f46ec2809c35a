// The trainer: its feature frame, and agreement between the float model
// and the engine's integer inference of the network it writes.
#include <gtest/gtest.h>
#include <cmath>
#include <cstring>
#include <random>
#include "../shell/engine_process.h"
#include "../support/test_position.h"
#include "eval/network.h"
#include "shell/settings.h"
#include "trainer.h"
#include "tools/training_data.h"

namespace {

TEST(Trainer, FeaturesFollowTheSideToMovesFrame) {
    TestBoard b("4k3/8/8/8/8/8/4P3/4K3 w - - 0 1");
    int16_t f[32];
    position_features(b.pos(), f);
    EXPECT_EQ(f[0], 64 + 12);   // the pawn on e2
    EXPECT_EQ(f[1], 4);         // own king on e1
    EXPECT_EQ(f[2], 384 + 60);  // the other king on e8
    EXPECT_EQ(f[3], EMPTY_FEATURE);
    // Black to move with its king on d8: ranks and files turned round.
    b.set("3k4/8/8/8/8/8/4P3/4K3 b - - 0 1");
    position_features(b.pos(), f);
    EXPECT_EQ(f[0], 384 + 64 + (12 ^ 63));
    EXPECT_EQ(f[1], 384 + (4 ^ 63));
    EXPECT_EQ(f[2], 59 ^ 63);
}

// Material balance for the side to move, as a probability.
float material_target(const Position& p) {
    static const int value[6] = {0, 100, 300, 320, 500, 900};
    int s = 0;
    for (int type = PAWN; type <= QUEEN; type++)
        s += value[type] * (piece_count(p, p.side, type) - piece_count(p, p.side ^ 1, type));
    return float(1.0 / (1.0 + std::exp(-0.005 * s)));
}

// Calls visit(board, game, ply, rng) after every move of games random
// games of up to plies moves each; rng also chose the moves.
template <class Visit>
void random_games(int games, int plies, uint32_t seed, Visit visit) {
    std::mt19937 rng(seed);
    for (int game = 0; game < games; game++) {
        TestBoard b(start_fen);
        for (int ply = 0; ply < plies; ply++) {
            auto moves = b.legal_moves();
            if (moves.empty()) break;
            make_move(b.pos(), moves[rng() % moves.size()]);
            visit(b, game, ply, rng);
        }
    }
}

// The sample the trainer makes of a position, with the target given.
Sample sample_of(const Position& p, float target) {
    FeatureRecord r;
    position_features(p, r.features);
    r.target = target;
    Sample s;
    EXPECT_TRUE(sample_from_record(r, s));
    return s;
}

TEST(Trainer, QuantisedNetworkAgreesWithTheFloatModel) {
    init_engine_tables();
    std::vector<Sample> samples;
    std::vector<std::string> held_out;
    random_games(300, 60, 17, [&](TestBoard& b, int game, int ply, std::mt19937&) {
        samples.push_back(sample_of(b.pos(), material_target(b.pos())));
        if (game % 10 == 0 && ply % 7 == 3) held_out.push_back(b.fen(true));
    });
    Model model;
    init_model(model, 32, 5);
    TrainerConfig config;
    config.width = 32;
    config.epochs = 3;
    config.batch = 512;
    config.learning_rate = 0.01f;
    config.quiet = true;
    double loss = train(model, samples, samples.size() / 20, config);
    EXPECT_LT(loss, 0.05);

    TempDir dir;
    ASSERT_TRUE(write_network(model, dir.file("small.nn")));
    set_default_settings();
    output_mode.noise = SILENT_NOISE;
    ASSERT_EQ(load_network(dir.file("small.nn").c_str(), 0.0f), 1);
    ASSERT_EQ(network.o, 32);
    ASSERT_GT(held_out.size(), 50u);
    double worst = 0, sum = 0;
    int counted = 0;
    for (auto& fen : held_out) {
        TestBoard b(fen.c_str());
        const Sample s = sample_of(b.pos(), 0.5f);
        float expect = predict(model, s);
        b.block->eval.ply = 1;
        int got = network_eval(b.block->pos, b.block->eval);
        if (std::fabs(expect) >= 2900) continue;  // the engine clamps at 3000
        worst = std::max(worst, std::fabs(double(got) - expect));
        sum += std::fabs(double(got) - expect);
        counted++;
    }
    // Rounding of the weights to the file's integers costs a few centipawns.
    EXPECT_GT(counted, 40);
    EXPECT_LT(worst, 8.0);
    EXPECT_LT(sum / counted, 2.0) << "mean difference";

    // Training can go on from the file: the model read back from the loaded
    // network predicts what the engine computes, and what the written model did.
    Model again;
    ASSERT_TRUE(model_from_loaded_network(again));
    ASSERT_EQ(again.width, 32);
    double furthest = 0;
    for (size_t k = 0; k < 200; k++)
        furthest = std::max(furthest, std::fabs(double(predict(again, samples[k]) - predict(model, samples[k]))));
    EXPECT_LT(furthest, 8.0);
    // A network whose output scale was changed by hand trains on at that
    // scale and is written with it.
    Model scaled = model;
    scaled.output_scale = 360;
    ASSERT_TRUE(write_network(scaled, dir.file("scaled.nn")));
    ASSERT_EQ(load_network(dir.file("scaled.nn").c_str(), 0.0f), 1);
    EXPECT_EQ(network.header[NN_OUTPUT_SCALE], 360);
    ASSERT_TRUE(model_from_loaded_network(again));
    EXPECT_EQ(again.output_scale, 360);
    furthest = 0;
    for (size_t k = 0; k < 200; k++)
        furthest = std::max(furthest, std::fabs(double(predict(again, samples[k]) - 1.2 * predict(model, samples[k]))));
    EXPECT_LT(furthest, 10.0);
    load_network("embedded", 0.0f);
    // The built-in network is the built-in layout, 1280 wide.
    ASSERT_TRUE(model_from_loaded_network(again));
    EXPECT_EQ(again.width, 1280);
}

// Training records of positions along random games, with a search score
// and a result for each.
std::vector<TrainingRecord> random_records(int games, uint32_t seed) {
    std::vector<TrainingRecord> out;
    random_games(games, 40, seed, [&](TestBoard& b, int, int, std::mt19937& rng) {
        TrainingRecord r;
        position_to_record(b.pos(), r);
        r.static_score = r.search_score = int16_t(int(rng() % 601) - 300);
        r.result = int16_t(result_to_score(0.5f));
        out.push_back(r);
    });
    return out;
}

TEST(Trainer, TargetsBlendResultAndScoreAsWeighted) {
    const int win = result_to_score(1.0f), loss = result_to_score(0.0f), draw = result_to_score(0.5f);
    EXPECT_NEAR(blended_target(0, win, 0.25f), 0.25 + 0.75 * 0.5, 1e-4);
    EXPECT_NEAR(blended_target(0, loss, 1.0f), 0.0, 1e-4);
    EXPECT_NEAR(blended_target(200, draw, 0.0f), 1.0 / (1.0 + std::exp(-1.0)), 1e-5);
    EXPECT_NEAR(blended_target(-200, win, 0.5f), 0.5 * (1.0 / (1.0 + std::exp(1.0))) + 0.5, 1e-4);
}

TEST(Trainer, ReadsTrainingRecordsWithTheBlendAsked) {
    auto records = random_records(20, 3);
    // A record the engine's usability test refuses: bare kings.
    TestBoard bare("4k3/8/8/8/8/8/8/4K3 w - - 0 1");
    TrainingRecord r;
    position_to_record(bare.pos(), r);
    r.static_score = r.search_score = 0;
    r.result = int16_t(result_to_score(0.5f));
    records.push_back(r);
    TempDir dir;
    const std::string file = dir.file("records.bin");
    FILE* f = fopen(file.c_str(), "wb");
    ASSERT_TRUE(f);
    fwrite(records.data(), sizeof(TrainingRecord), records.size(), f);
    fclose(f);

    std::vector<Sample> samples;
    ASSERT_TRUE(read_record_file(file, 0.5f, samples));
    ASSERT_EQ(samples.size(), records.size() - 1);  // all but the bare kings
    for (size_t i = 0; i < samples.size(); i++) {
        EXPECT_NEAR(samples[i].target, blended_target(records[i].static_score, records[i].result, 0.5f), 1e-6);
        // The sample's features are those of the record's board.
        TestBoard b;
        ASSERT_TRUE(set_record_position(records[i], b.pos()));
        const Sample expect = sample_of(b.pos(), 0);
        ASSERT_EQ(samples[i].count, expect.count);
        EXPECT_EQ(samples[i].bucket, expect.bucket);
        for (int k = 0; k < expect.count; k++) EXPECT_EQ(samples[i].own[k], expect.own[k]);
    }
    std::vector<Sample> none;
    EXPECT_FALSE(read_record_file(dir.file("missing.bin"), 0.5f, none));
}

TEST(Trainer, FitsTheSlopeThatLinksScoresToResults) {
    // Results drawn as a player whose win chance is sigmoid(0.008 x score)
    // would score: the fit finds that slope, and 0.005 fits worse.
    std::mt19937 rng(9);
    std::vector<TrainingRecord> records(60000);
    for (auto& r : records) {
        memset(&r, 0, sizeof r);
        r.static_score = int16_t(int(rng() % 1201) - 600);
        const double p = 1.0 / (1.0 + std::exp(-0.008 * r.static_score));
        const double u = double(rng()) / 4294967296.0;
        r.result = int16_t(result_to_score(u < p ? 1.0f : 0.0f));
    }
    ScaleFit fit = fit_result_scale(records.data(), int64_t(records.size()));
    EXPECT_NEAR(fit.slope, 0.008, 0.0008);
    EXPECT_LT(fit.best, fit.at_trained);
}

TEST(Trainer, ValidatesOnExactlyTheHeldOutTail) {
    init_engine_tables();
    std::vector<Sample> samples;
    for (auto& r : random_records(30, 5)) {
        TestBoard b;
        ASSERT_TRUE(set_record_position(r, b.pos()));
        samples.push_back(sample_of(b.pos(), 0.7f));
    }
    // The last 37 carry another target: a validation set taken as a share
    // of the total would mix training samples into it.
    const size_t held = 37;
    for (size_t i = samples.size() - held; i < samples.size(); i++) samples[i].target = 0.2f;
    Model model;
    init_model(model, 16, 2);
    TrainerConfig config;
    config.width = 16;
    config.epochs = 2;
    config.batch = 64;
    config.quiet = true;
    config.threads = 1;
    const double loss = train(model, samples, held, config);
    double expect = 0;
    for (size_t i = samples.size() - held; i < samples.size(); i++) {
        const double p = 1.0 / (1.0 + std::exp(-0.005 * predict(model, samples[i])));
        expect += (p - 0.2) * (p - 0.2);
    }
    EXPECT_NEAR(loss, expect / double(held), 1e-6);
}

TEST(Trainer, CountsTheWeightsCutAtTheFileLimit) {
    Model model;
    init_model(model, 8, 1);
    TempDir dir;
    int clamped = -1;
    ASSERT_TRUE(write_network(model, dir.file("plain.nn"), &clamped));
    EXPECT_EQ(clamped, 0);
    model.features[3] = 100.0f;  // 25 600 in the file's units
    model.own[5] = -3.0f;        // -12 288
    ASSERT_TRUE(write_network(model, dir.file("cut.nn"), &clamped));
    EXPECT_EQ(clamped, 2);
}

}  // namespace
