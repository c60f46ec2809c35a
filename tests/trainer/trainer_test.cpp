// The trainer: its feature frame, and agreement between the float model
// and the engine's integer inference of the network it writes.
#include <gtest/gtest.h>
#include <cmath>
#include <random>
#include "../shell/engine_process.h"
#include "../support/test_position.h"
#include "eval/network.h"
#include "shell/settings.h"
#include "trainer.h"

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

TEST(Trainer, QuantisedNetworkAgreesWithTheFloatModel) {
    init_engine_tables();
    std::mt19937 rng(17);
    std::vector<Sample> samples;
    std::vector<std::string> held_out;
    for (int game = 0; game < 300; game++) {
        TestBoard b(start_fen);
        for (int ply = 0; ply < 60; ply++) {
            auto moves = b.legal_moves();
            if (moves.empty()) break;
            make_move(b.pos(), moves[rng() % moves.size()]);
            FeatureRecord r;
            position_features(b.pos(), r.features);
            r.target = material_target(b.pos());
            Sample s;
            ASSERT_TRUE(sample_from_record(r, s));
            samples.push_back(s);
            if (game % 10 == 0 && ply % 7 == 3) held_out.push_back(b.fen(true));
        }
    }
    Model model;
    init_model(model, 32, 5);
    TrainerConfig config;
    config.width = 32;
    config.epochs = 3;
    config.batch = 512;
    config.learning_rate = 0.01f;
    config.quiet = true;
    double loss = train(model, samples, config);
    EXPECT_LT(loss, 0.05);

    TempDir dir;
    ASSERT_TRUE(write_network(model, dir.file("small.nn")));
    set_default_settings();
    settings.noise = 99999.0f;
    snprintf(settings.nn_file, sizeof settings.nn_file, "%s", dir.file("small.nn").c_str());
    ASSERT_EQ(load_network(), 1);
    ASSERT_EQ(network.o, 32);
    ASSERT_GT(held_out.size(), 50u);
    double worst = 0, sum = 0;
    int counted = 0;
    for (auto& fen : held_out) {
        TestBoard b(fen.c_str());
        FeatureRecord r;
        position_features(b.pos(), r.features);
        r.target = 0.5f;
        Sample s;
        ASSERT_TRUE(sample_from_record(r, s));
        float expect = predict(model, s);
        b.block->eval.ply = 1;
        int got = network_eval(*b.block);
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
    snprintf(settings.nn_file, sizeof settings.nn_file, "embedded");
    load_network();
    // The built-in network is the built-in layout, 1280 wide.
    ASSERT_TRUE(model_from_loaded_network(again));
    EXPECT_EQ(again.width, 1280);
}

}  // namespace
