// The network: the built-in file, buckets, the kernels against their
// scalar twins, incremental updates against full refreshes, other layouts
// and the refusal of damaged files.
#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>
#include "../shell/engine_process.h"
#include "../support/test_position.h"
#include "eval/network.h"
#include "eval/network_kernels.h"
#include "shell/settings.h"

namespace {

void use_network(const char* name) {
    load_network(name, 0.0f);
}

struct NetworkTest : ::testing::Test {
    void SetUp() override {
        init_engine_tables();
        set_default_settings();
        output_mode.noise = SILENT_NOISE;
        use_network("embedded");
        ASSERT_TRUE(network_loaded());
    }
};

// Evaluates the board's position at the given ply in its own thread block.
int eval_at(TestBoard& b, int ply) {
    b.block->eval.ply = ply;
    return network_eval(b.block->pos, b.block->eval);
}

std::vector<int16_t> accumulators(TestBoard& b) {
    auto* s = static_cast<NetworkState*>(b.block->eval.network);
    std::vector<int16_t> v(s->white_acc, s->white_acc + s->o);
    v.insert(v.end(), s->black_acc, s->black_acc + s->u);
    return v;
}

// Plays random legal moves on one board, evaluating incrementally, and
// compares every score and accumulator with a fresh board's full refresh.
void compare_incremental_with_refresh(uint32_t seed, int games, int plies) {
    std::mt19937 rng(seed);
    for (int g = 0; g < games; g++) {
        TestBoard walk(start_fen), fresh;
        eval_at(walk, 1);
        for (int ply = 0; ply < plies; ply++) {
            auto moves = walk.legal_moves();
            if (moves.empty()) break;
            make_move(walk.pos(), moves[rng() % moves.size()]);
            int incremental = eval_at(walk, 3 + ply);
            char fen[128];
            get_fen(walk.pos(), fen, 1);
            ASSERT_TRUE(fresh.set(fen)) << fen;
            int refreshed = eval_at(fresh, 1);
            ASSERT_EQ(incremental, refreshed) << fen;
            ASSERT_EQ(accumulators(walk), accumulators(fresh)) << fen;
        }
        // Most steps must really have gone the incremental way.
        auto* s = static_cast<NetworkState*>(walk.block->eval.network);
        EXPECT_GT(s->updates, s->refreshes);
    }
}

std::vector<unsigned char> file_bytes(const std::vector<int16_t>& header, int64_t stored_count,
                                      const std::vector<int16_t>& weights) {
    std::vector<unsigned char> out;
    for (int16_t h : header) {
        out.push_back(uint8_t(h));
        out.push_back(uint8_t(uint16_t(h) >> 8));
    }
    for (int i = 0; i < 4; i++) out.push_back(uint8_t(uint32_t(stored_count) >> (8 * i)));
    for (int16_t w : weights) {
        out.push_back(uint8_t(w));
        out.push_back(uint8_t(uint16_t(w) >> 8));
    }
    return out;
}

void write_file(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
}

// A small network with material and hidden layers, random weights.
std::vector<unsigned char> small_network(uint32_t seed, int o, int m, int h, int buckets, int version = 805) {
    std::vector<int16_t> header = {int16_t(version), 1024, 300, int16_t(buckets), 8, 0, 0,
                                   int16_t(o), int16_t(o), int16_t(m), int16_t(h), 0};
    int64_t n = network_weight_count(header.data());
    std::mt19937 rng(seed);
    std::vector<int16_t> w(static_cast<size_t>(n));
    for (auto& x : w) x = int16_t(int(rng() % 512) - 256);
    return file_bytes(header, n, w);
}

TEST_F(NetworkTest, BuiltInNetworkHasTheStandardLayout) {
    const int16_t expect[12] = {805, 4096, 300, 2, 6, 0, 0, 1280, 1280, 0, 0, 0};
    for (int i = 0; i < 12; i++) EXPECT_EQ(network.header[i], expect[i]) << i;
    EXPECT_EQ(network.count, 1989120);
    EXPECT_EQ(network_weight_count(network.header), 1989120);
}

TEST_F(NetworkTest, BucketsFollowTheMaterial) {
    const int16_t six[12] = {805, 4096, 300, 2, 6, 0, 0, 1280, 1280, 0, 0, 0};
    const int16_t eight[12] = {805, 4096, 300, 2, 8, 0, 0, 1280, 1280, 0, 0, 0};
    const int full = network_material(2, 2, 2, 1);
    EXPECT_EQ(full, 3 * 4 + 10 + 10);
    EXPECT_EQ(network_material(0, 0, 0, 1), 6);  // a lone queen counts 6
    EXPECT_EQ(network_output_bucket(six, full, full, 8, 8), 0);
    EXPECT_EQ(network_output_bucket(six, 0, 0, 0, 0), 5);
    EXPECT_EQ(network_output_bucket(six, 10, 4, 3, 3), 4);  // 1.4 rounds to 1
    EXPECT_EQ(network_output_bucket(six, 15, 10, 0, 0), 2);  // 2.5 rounds away from zero
    EXPECT_EQ(network_output_bucket(eight, full, full, 8, 8), 7);
    EXPECT_EQ(network_output_bucket(eight, 0, 0, 1, 0), 0);
    EXPECT_EQ(network_output_bucket(eight, 20, 15, 6, 4), 4);
    const int16_t other[12] = {805, 4096, 300, 2, 3, 0, 0, 1280, 1280, 0, 0, 0};
    EXPECT_EQ(network_output_bucket(other, 0, 0, 0, 0), 0);
    // The integer form of the buckets against the floating-point one
    // (the sum times 0.1, rounded half away from zero), for every sum.
    for (int material = 0; material <= 2 * 46; material++)
        for (int pawns = 0; pawns <= 16; pawns++) {
            const long six_x = std::lround(material * 0.1), eight_x = std::lround((material + pawns - 6) * 0.1);
            EXPECT_EQ(network_output_bucket(six, material, 0, pawns, 0), 5 - std::clamp(six_x, 0L, 5L)) << material;
            EXPECT_EQ(network_output_bucket(eight, material, 0, pawns, 0), std::clamp(eight_x, 0L, 7L))
                << material << " " << pawns;
        }

    TestBoard b(start_fen);
    eval_at(b, 1);
    auto* s = static_cast<NetworkState*>(b.block->eval.network);
    EXPECT_EQ(s->trace.bucket, 0);
    EXPECT_EQ(s->offset[0], 0);
    EXPECT_EQ(s->orientation[0], 0);   // king on e1: files kept
    EXPECT_EQ(s->orientation[1], 56);  // ranks mirrored for Black
    b.set("4k3/8/8/8/8/8/8/3K4 w - - 0 1");
    eval_at(b, 1);
    EXPECT_EQ(s->trace.bucket, 5);
    EXPECT_EQ(s->offset[0], 768);
    EXPECT_EQ(s->orientation[0], 7);  // king on d1: files mirrored
    b.set("r3k3/8/8/8/8/8/8/R3K2R w - - 0 1");  // 15 points of material
    eval_at(b, 1);
    EXPECT_EQ(s->offset[1], 768);
}

TEST(NetworkKernels, SimdAndScalarFormsAgree) {
    std::mt19937 rng(7);
    for (int n : {1, 15, 16, 17, 100, 1280}) {
        std::vector<int16_t> a(n), r(n), x(n), y(n);
        for (int i = 0; i < n; i++) {
            // Values near the limits exercise saturation and the wrapping sums.
            a[i] = int16_t(rng() % 3 ? int(rng() % 4000) - 2000 : (rng() % 2 ? 32767 - int(rng() % 50) : -32768));
            r[i] = int16_t(rng() % 3 ? int(rng() % 4000) - 2000 : (rng() % 2 ? 32767 : -32768));
        }
        x = a;
        y = a;
        const int16_t* row = r.data();
        nn::apply_rows(x.data(), x.data(), &row, 0, 1, n);
        nn::add_row_scalar(y.data(), r.data(), 0, n);
        EXPECT_EQ(x, y) << n;
        nn::apply_rows(x.data(), x.data(), &row, 1, 1, n);
        nn::sub_row_scalar(y.data(), r.data(), 0, n);
        EXPECT_EQ(x, y) << n;
        nn::activate(x.data(), a.data(), n);
        nn::activate_scalar(y.data(), a.data(), 0, n);
        EXPECT_EQ(x, y) << n;
        EXPECT_EQ(nn::dot(a.data(), r.data(), n), int32_t(nn::dot_scalar(a.data(), r.data(), 0, n))) << n;
        EXPECT_EQ(nn::dot_leaky(r.data(), a.data(), n), int32_t(nn::dot_scalar(r.data(), y.data(), 0, n))) << n;

        // Several rows in one pass saturate step by step, subtractions
        // first, as one call per row does (a sum that overflows and comes
        // back must stay clipped).
        for (int subtracts = 0; subtracts <= 6; subtracts += 3) {
            std::vector<std::vector<int16_t>> rows(6, std::vector<int16_t>(n));
            std::vector<const int16_t*> pointers;
            for (auto& row_values : rows) {
                for (auto& v : row_values)
                    v = int16_t(rng() % 2 ? int(rng() % 40000) - 20000 : int(rng() % 200) - 100);
                pointers.push_back(row_values.data());
            }
            y = a;
            for (int k = 0; k < 6; k++) (k < subtracts ? nn::sub_row_scalar : nn::add_row_scalar)(y.data(), pointers[k], 0, n);
            nn::apply_rows(x.data(), a.data(), pointers.data(), subtracts, 6, n);
            EXPECT_EQ(x, y) << n;
            x = a;
            nn::apply_rows(x.data(), x.data(), pointers.data(), subtracts, 6, n);
            EXPECT_EQ(x, y) << n;
        }
    }
    EXPECT_EQ(nn::leaky(-1), 0);
    EXPECT_EQ(nn::leaky(-64), -1);
    EXPECT_EQ(nn::leaky(-127), -1);
    EXPECT_EQ(nn::leaky(-128), -2);
    EXPECT_EQ(nn::leaky(500), 500);
    // Every 16-bit value through the 16-lane activation.
    std::vector<int16_t> all(65536), out(65536);
    for (int v = 0; v < 65536; v++) all[size_t(v)] = int16_t(v - 32768);
    nn::activate(out.data(), all.data(), 65536);
    for (int v = 0; v < 65536; v++) ASSERT_EQ(out[size_t(v)], nn::leaky(all[size_t(v)])) << v - 32768;
}

TEST_F(NetworkTest, IncrementalUpdatesMatchRefreshesForTheBuiltInLayout) {
    compare_incremental_with_refresh(11, 6, 120);
}

// As a search visits them: siblings evaluated one after another at the
// same ply, a child and back, kings crossing between the d- and e-files.
// Every accumulator equals a refresh, and most start from a near entry.
TEST_F(NetworkTest, AccumulatorsStartFromTheNearestEntry) {
    std::mt19937 rng(23);
    TestBoard walk(start_fen), fresh;
    int evaluations = 0, king_moves = 0;
    for (int step = 0; step < 150; step++) {
        auto moves = walk.legal_moves();
        if (moves.empty()) break;
        const int ply = 3 + step % 20;
        eval_at(walk, ply);
        // Up to four siblings below this node, each evaluated and taken back.
        for (int k = 0; k < 4 && k < int(moves.size()); k++) {
            Move m = moves[rng() % moves.size()];
            king_moves += piece_type(walk.pos().board[move_from(m)]) == KING;
            make_move(walk.pos(), m);
            int incremental = eval_at(walk, ply + 1);
            char fen[128];
            get_fen(walk.pos(), fen, 1);
            ASSERT_TRUE(fresh.set(fen)) << fen;
            ASSERT_EQ(incremental, eval_at(fresh, 1)) << fen;
            ASSERT_EQ(accumulators(walk), accumulators(fresh)) << fen;
            unmake_move(walk.pos());
            evaluations++;
        }
        make_move(walk.pos(), moves[rng() % moves.size()]);
        if (step % 20 == 19) walk.set(start_fen);  // a new game, as after ucinewgame
    }
    auto* s = static_cast<NetworkState*>(walk.block->eval.network);
    EXPECT_GT(king_moves, 10);
    EXPECT_GT(s->updates, 5 * s->refreshes);
    // A refresh applies a row for every piece (up to 32 per perspective);
    // from a near entry a move costs two or three rows per perspective.
    EXPECT_LT(double(s->rows) / double(s->updates + s->refreshes), 12.0);
    EXPECT_GT(evaluations, 400);
}

TEST_F(NetworkTest, OtherLayoutsLoadAndUpdateExactly) {
    TempDir dir;
    // Material and hidden layers, eight output buckets, the king-rank input buckets.
    write_file(dir.file("small.nn"), small_network(3, 48, 6, 16, 2, 800));
    use_network(dir.file("small.nn").c_str());
    ASSERT_EQ(network.h, 16);
    ASSERT_EQ(network.m, 6);
    compare_incremental_with_refresh(5, 4, 100);
    // Back to the built-in network: the thread buffers follow its sizes.
    TestBoard b(start_fen);
    write_file(dir.file("tiny.nn"), small_network(4, 16, 0, 0, 1));
    use_network(dir.file("tiny.nn").c_str());
    int tiny = eval_at(b, 1);
    EXPECT_GE(tiny, -3000);
    EXPECT_LE(tiny, 3000);
    use_network("embedded");
    eval_at(b, 1);
    EXPECT_EQ(static_cast<NetworkState*>(b.block->eval.network)->o, 1280);
}

TEST_F(NetworkTest, DamagedFilesAreRefusedAndTheOldNetworkStays) {
    TempDir dir;
    auto good = small_network(9, 16, 0, 0, 1);
    std::vector<std::vector<unsigned char>> bad;
    bad.emplace_back(good.begin(), good.begin() + 10);   // inside the header
    bad.emplace_back(good.begin(), good.begin() + 26);   // inside the count
    bad.emplace_back(good.begin(), good.end() - 1);      // inside the weights
    auto longer = good;
    longer.push_back(0);
    longer.push_back(0);
    bad.push_back(longer);                               // more weights than the header says
    std::vector<int16_t> negative = {805, 1024, 300, 1, 6, 0, 0, -16, -16, 0, 0, 0};
    bad.push_back(file_bytes(negative, 0, {}));
    std::vector<int16_t> huge = {805, 1024, 300, 60, 6, 0, 0, 30000, 30000, 0, 0, 0};
    bad.push_back(file_bytes(huge, 0, {}));
    std::vector<int16_t> unequal = {805, 1024, 300, 1, 6, 0, 0, 16, 32, 0, 0, 0};
    bad.push_back(file_bytes(unequal, 0, std::vector<int16_t>(5000)));
    std::vector<int16_t> no_divisor = {805, 0, 300, 1, 6, 0, 0, 16, 16, 0, 0, 0};
    bad.push_back(file_bytes(no_divisor, 0, std::vector<int16_t>(size_t(network_weight_count(no_divisor.data())))));

    TestBoard b(start_fen);
    const int before = eval_at(b, 1);
    const uint32_t generation = network.generation;
    for (size_t i = 0; i < bad.size(); i++) {
        write_file(dir.file("bad.nn"), bad[i]);
        EXPECT_EQ(load_network(dir.file("bad.nn").c_str(), 0.0f), 0) << "file " << i;
        EXPECT_EQ(network.generation, generation) << "file " << i;
        EXPECT_EQ(network.o, 1280) << "file " << i;
    }
    EXPECT_EQ(load_network(dir.file("missing.nn").c_str(), 0.0f), 0);
    EXPECT_EQ(eval_at(b, 1), before);
    write_file(dir.file("good.nn"), good);
    EXPECT_EQ(load_network(dir.file("good.nn").c_str(), 0.0f), 1);
    EXPECT_EQ(network.o, 16);
}

TEST_F(NetworkTest, EightBitWeightsAreScaledOnLoading) {
    TempDir dir;
    // Divisor 64: 8-bit weights, each multiplied by 16 on loading.
    std::vector<int16_t> header = {805, 64, 300, 1, 6, 0, 0, 16, 16, 0, 0, 0};
    int64_t n = network_weight_count(header.data());
    std::vector<unsigned char> bytes = file_bytes(header, n, {});
    for (int64_t i = 0; i < n; i++) bytes.push_back(uint8_t(int8_t(i % 7 - 3)));
    write_file(dir.file("eight.nn"), bytes);
    use_network(dir.file("eight.nn").c_str());
    ASSERT_EQ(network.count, n);
    for (int64_t i = 0; i < 50; i++) EXPECT_EQ(network.weights[i], (i % 7 - 3) * 16) << i;
}

TEST_F(NetworkTest, ScoresBeyondTheLimitAreClamped) {
    TempDir dir;
    // Large biases and output weights: 16 x 1000 x 1000 / 2^20 x 300 is
    // about 4600 centipawns for the side to move.
    std::vector<int16_t> header = {805, 1024, 300, 1, 0, 0, 0, 16, 16, 0, 0, 0};
    int64_t n = network_weight_count(header.data());
    std::vector<int16_t> w(static_cast<size_t>(n), 0);
    const size_t biases = 768 * 16;
    for (size_t i = biases; i < biases + 32; i++) w[i] = 1000;
    for (size_t i = biases + 32; i < biases + 32 + 8 * 16; i++) w[i] = 1000;  // block A; block B stays 0
    write_file(dir.file("loud.nn"), file_bytes(header, n, w));
    use_network(dir.file("loud.nn").c_str());
    TestBoard b(start_fen);
    EXPECT_EQ(eval_at(b, 1), 3000);
    auto* s = static_cast<NetworkState*>(b.block->eval.network);
    EXPECT_GT(s->trace.raw * 300, 3000);
}

TEST_F(NetworkTest, NewNetworksDiffer) {
    use_network("new");
    std::vector<int16_t> first(network.weights, network.weights + 1000);
    for (int16_t w : first) {
        EXPECT_GE(w, -256);
        EXPECT_LE(w, 255);
    }
    // The seed comes from the clock; wait for it to move on.
    clock_t start = clock();
    while (clock() - start < CLOCKS_PER_SEC / 20) {
    }
    use_network("new");
    std::vector<int16_t> second(network.weights, network.weights + 1000);
    EXPECT_NE(first, second);
}

}  // namespace
