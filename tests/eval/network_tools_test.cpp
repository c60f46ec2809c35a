// The console's evaluation printouts and the network pruning tool, run
// through the executable.
#include <gtest/gtest.h>
#include <algorithm>
#include <fstream>
#include <random>
#include <set>
#include "../shell/engine_process.h"
#include "../support/test_position.h"
#include "eval/network.h"
#include "shell/settings.h"
#include "tools/training_data.h"

namespace {

bool has_line(const std::vector<std::string>& out, const std::string& prefix) {
    return std::any_of(out.begin(), out.end(), [&](const std::string& l) { return starts_with(l, prefix); });
}

TEST(EvalTrace, TermTraceAndNetworkTraceOfTheBuiltInNetwork) {
    std::vector<std::string> out;
    ASSERT_EQ(run_engine({"-c", "-quiet"}, {"ev", "ev2", "quit"}, out), 0);
    // Term trace: nine groups, the last four with nothing in the md column.
    for (const char* label : {"pawns:", "knights:", "bishops:", "rooks:", "queens:"}) EXPECT_TRUE(has_line(out, label));
    for (const char* label : {"king:", "ppawns:", "threats:", "special:"}) {
        auto it = std::find_if(out.begin(), out.end(), [&](const std::string& l) { return starts_with(l, label); });
        ASSERT_NE(it, out.end()) << label;
        EXPECT_EQ(it->substr(it->size() - 4), "   0") << *it;
    }
    EXPECT_FALSE(has_line(out, "hung pieces on: "));
    EXPECT_TRUE(has_line(out, "nne= "));
    // The start position is symmetric: the material column is all zero.
    auto pawns = std::find_if(out.begin(), out.end(), [](const std::string& l) { return starts_with(l, "pawns:"); });
    EXPECT_EQ(pawns->substr(pawns->size() - 4), "   0");
    // Network trace: the two accumulator layers only.
    EXPECT_TRUE(has_line(out, "output node = 0"));
    EXPECT_TRUE(has_line(out, "Layer 0"));
    EXPECT_TRUE(has_line(out, "Layer 1"));
    EXPECT_FALSE(has_line(out, "Layer 2"));
    EXPECT_TRUE(has_line(out, "eval= "));
}

TEST(EvalTrace, HungPiecesAreListed) {
    std::vector<std::string> out;
    // A black knight attacked by a pawn and defended by nothing.
    ASSERT_EQ(run_engine({"-c", "-quiet"}, {"fen 4k3/8/8/3n4/4P3/8/8/4K3 w - -", "ev", "quit"}, out), 0);
    auto it = std::find_if(out.begin(), out.end(), [](const std::string& l) { return starts_with(l, "hung pieces on: "); });
    ASSERT_NE(it, out.end());
    EXPECT_NE(it->find("d5"), std::string::npos) << *it;
}

std::vector<unsigned char> wide_network(int width, uint32_t seed) {
    std::vector<int16_t> header = {805, 1024, 300, 1, 6, 0, 0, int16_t(width), int16_t(width), 0, 0, 0};
    int64_t n = network_weight_count(header.data());
    std::mt19937 rng(seed);
    std::vector<unsigned char> out;
    auto put = [&](int v) {
        out.push_back(uint8_t(v));
        out.push_back(uint8_t(uint16_t(v) >> 8));
    };
    for (int16_t h : header) put(h);
    for (int i = 0; i < 4; i++) out.push_back(uint8_t(uint32_t(n) >> (8 * i)));
    const int64_t features = int64_t(768) * width;
    for (int64_t i = 0; i < n; i++) {
        // Large biases: beyond what the pruned file can hold (4 x 1024 > 4096).
        bool bias = i >= features && i < features + 2 * width;
        put(bias ? int(rng() % 6000) - 3000 : int(rng() % 400) - 200);
    }
    return out;
}

TrainingRecord record_of(const Position& p) {
    TrainingRecord r = {};
    for (int sq = 0; sq < 64; sq++) r.board[sq / 2] |= uint8_t(p.board[sq] << (4 * (sq & 1)));
    r.castle_side = uint8_t(p.side << 4);
    r.ep_square = 64;
    return r;
}

TEST(NetworkPrune, CopiesWholeDistinctColumnsOfALargerNetwork) {
    TempDir dir;
    const int width = 1500;
    auto bytes = wide_network(width, 21);
    std::ofstream(dir.file("wide.nn"), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
    std::ofstream(dir.file("vorn.cfg")) << "NN_File = wide.nn\n";
    // Training positions from random games.
    {
        std::ofstream f(dir.file("train.bin"), std::ios::binary);
        std::mt19937 rng(3);
        for (int g = 0; g < 8; g++) {
            TestBoard b(start_fen);
            for (int ply = 0; ply < 30; ply++) {
                auto moves = b.legal_moves();
                if (moves.empty()) break;
                make_move(b.pos(), moves[rng() % moves.size()]);
                TrainingRecord r = record_of(b.pos());
                f.write(reinterpret_cast<const char*>(&r), sizeof r);
            }
        }
    }
    std::vector<std::string> out;
    ASSERT_EQ(run_engine({"-quiet", "-cfg", "vorn.cfg", "-prune_nn", "train.bin"}, {}, out, dir.path()), 0);
    EXPECT_TRUE(has_line(out, "Collecting stats ..."));
    EXPECT_TRUE(has_line(out, "Writing pruned net to pruned.bin ..."));

    // Load both in this process and compare column by column.
    init_engine_tables();
    set_default_settings();
    output_mode.noise = SILENT_NOISE;
    ASSERT_EQ(load_network(dir.file("wide.nn").c_str(), 0.0f), 1);
    std::vector<int16_t> wide(network.weights, network.weights + network.count);
    ASSERT_EQ(load_network(dir.file("pruned.bin").c_str(), 0.0f), 1);
    ASSERT_EQ(network.o, 1408);
    ASSERT_EQ(network.u, 1408);
    ASSERT_EQ(network.header[NN_WEIGHT_DIVISOR], 4096);
    const int16_t* pruned = network.weights;
    const int64_t rows = 768, w = 1408;
    std::set<int> used;
    auto original = [&](int64_t block_start, int64_t r, int col) { return wide[size_t(block_start + r * width + col)]; };
    for (int j = 0; j < w; j++) {
        // Find the source column by the first feature rows, then check all of it.
        int source = -1;
        for (int c = 0; c < width && source < 0; c++) {
            bool same = true;
            for (int r = 0; r < 4 && same; r++) same = original(0, r, c) == pruned[r * w + j];
            if (same) source = c;
        }
        ASSERT_GE(source, 0) << "column " << j;
        EXPECT_TRUE(used.insert(source).second) << "column " << source << " taken twice";
        for (int64_t r = 0; r < rows; r += 37) ASSERT_EQ(pruned[r * w + j], original(0, r, source));
        // Biases were clamped to 4096 / 4 on writing.
        int bias = original(rows * width, 0, source);
        int expect = bias > 1024 ? 1024 : bias < -1024 ? -1024 : bias;
        EXPECT_EQ(pruned[rows * w + j], expect);
        for (int b = 0; b < 8; b++)
            EXPECT_EQ(pruned[rows * w + 2 * w + b * w + j], original(rows * width + 2 * width, b, source));
    }
    load_network("embedded", 0.0f);
}

TEST(NetworkPrune, ANarrowNetworkIsNotWritten) {
    TempDir dir;
    TestBoard b(start_fen);
    TrainingRecord r = record_of(b.pos());
    std::ofstream(dir.file("train.bin"), std::ios::binary).write(reinterpret_cast<const char*>(&r), sizeof r);
    std::vector<std::string> out;
    ASSERT_EQ(run_engine({"-quiet", "-prune_nn", "train.bin"}, {}, out, dir.path()), 0);
    std::ifstream pruned(dir.file("pruned.bin"));
    EXPECT_FALSE(pruned.good());  // the built-in 1280 entries are already narrow enough
}

TEST(TrainingRecords, ScoresAndResultsConvert) {
    EXPECT_EQ(result_to_score(1.0f), 2760);
    EXPECT_EQ(result_to_score(0.0f), -2763);
    EXPECT_EQ(result_to_score(0.5f), 0);
    char text[16];
    snprintf(text, sizeof text, "%0.1f", score_to_probability(2760));
    EXPECT_STREQ(text, "1.0");
}

}  // namespace
