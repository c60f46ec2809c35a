// The weight tuner and the parameter text it writes.
#include <gtest/gtest.h>
#include <cmath>
#include <random>
#include "../support/test_position.h"
#include "eval/hce.h"
#include "eval/params.h"
#include "tune_hce.h"

namespace {

void builtin_weights() {
    register_params();
    apply_param_text(builtin_param_text);
}

TEST(ParamText, WritingAndReadingBackKeepsEveryWeight) {
    builtin_weights();
    // Negative middle-game halves are where a packed read-back would drift.
    set_param(find_param("knight_mobility"), -7, 31);
    std::vector<std::pair<float, float>> before;
    for (int i = 0; i < PARAM_COUNT; i++) before.emplace_back(eval_params[i].mg, eval_params[i].eg);
    std::string text = param_text();
    register_params();
    EXPECT_EQ(apply_param_text(text.c_str()), 0);
    for (int i = 0; i < TTUNE; i++) {
        EXPECT_EQ(eval_params[i].mg, before[size_t(i)].first) << eval_params[i].name;
        EXPECT_EQ(eval_params[i].eg, before[size_t(i)].second) << eval_params[i].name;
    }
    EXPECT_EQ(param_text(), text);
    builtin_weights();
}

TEST(Tuner, MovesAWeightTowardsTheOneThatMadeTheResults) {
    init_engine_tables();
    builtin_weights();
    const int knight = MTL_KNIGHT;
    const int mg = int(eval_params[knight].mg), eg = int(eval_params[knight].eg);
    // Results made by an evaluation that prizes knights 80 points more.
    set_param(knight, mg + 80, eg + 80);
    std::mt19937 rng(2);
    std::vector<TuneSample> samples;
    TestBoard b;
    for (int game = 0; game < 60; game++) {
        b.set(start_fen);
        for (int ply = 0; ply < 40; ply++) {
            auto moves = b.legal_moves();
            if (moves.empty()) break;
            make_move(b.pos(), moves[rng() % moves.size()]);
            if (ply % 4 != 3) continue;
            b.block->eval.ply = 1;
            double e = hce_eval(b.block->pos, b.block->eval);
            TuneSample s;
            s.pos = b.pos();
            s.result = float(1.0 / (1.0 + std::exp(-0.005 * e)));
            samples.push_back(s);
        }
    }
    set_param(knight, mg, eg);
    TuneConfig config;
    config.sweeps = 1;
    config.step = 20;
    config.fit_scale = false;
    config.quiet = true;
    double start = tune_error(samples, 0.005, 2);
    double end = tune_parameters(samples, config);
    EXPECT_LT(end, start);
    EXPECT_GT(eval_params[knight].mg + eval_params[knight].eg, float(mg + eg));
    builtin_weights();
}

}  // namespace
