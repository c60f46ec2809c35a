// Perft counts against the published numbers.
#include <gtest/gtest.h>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include "../support/test_position.h"
#include "position/perft.h"

namespace {

struct PerftCase {
    std::string id, epd;
    int depth;
    uint64_t nodes;
};

std::vector<PerftCase> read_perft_file(const std::string& name) {
    std::ifstream in(std::string(VORN_DATA_DIR) + "/perft/" + name);
    std::vector<PerftCase> out;
    std::string line, id, epd;
    while (std::getline(in, line)) {
        if (line.rfind("id ", 0) == 0) id = line.substr(3);
        else if (line.rfind("epd ", 0) == 0) epd = line.substr(4);
        else if (line.rfind("perft ", 0) == 0) {
            PerftCase c{id, epd, 0, 0};
            unsigned long long n = 0;
            if (sscanf(line.c_str() + 6, "%d %llu", &c.depth, &n) == 2) {
                c.nodes = n;
                out.push_back(c);
            }
        }
    }
    return out;
}

uint64_t count(TestBoard& b, int depth) { return perft(b.pos(), depth); }

// Runs every case with a count in [lo, hi]; returns how many ran.
int run_cases(const std::string& file, uint64_t lo, uint64_t hi) {
    int ran = 0;
    TestBoard b;
    for (const PerftCase& c : read_perft_file(file)) {
        if (c.nodes < lo || c.nodes > hi) continue;
        EXPECT_TRUE(b.set(c.epd.c_str())) << c.id;
        EXPECT_EQ(count(b, c.depth), c.nodes) << c.id << " depth " << c.depth << " " << c.epd;
        EXPECT_EQ(position_problem(b.pos()), "") << c.id;
        ran++;
    }
    return ran;
}

constexpr uint64_t DEFAULT_LIMIT = 2100000;

}  // namespace

TEST(Perft, StandardPositions) {
    EXPECT_GE(run_cases("standard.perft", 0, DEFAULT_LIMIT), 50);
}

TEST(Perft, Chess960Positions) {
    EXPECT_GE(run_cases("chess960.perft", 0, DEFAULT_LIMIT), 200);
}

TEST(Perft, MateAndStalemateCountNothing) {
    TestBoard mate("rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq -");
    TestBoard stale("7k/5Q2/6K1/8/8/8/8/8 b - -");
    for (int d = 1; d <= 3; d++) {
        EXPECT_EQ(count(mate, d), 0u);
        EXPECT_EQ(count(stale, d), 0u);
    }
}

TEST(Perft, StartPositionShallow) {
    TestBoard b(start_fen);
    const uint64_t expected[] = {0, 20, 400, 8902, 197281};
    for (int d = 1; d <= 4; d++) EXPECT_EQ(count(b, d), expected[d]);
}

// The deep counts run only in the optional deep target (ctest -L deep).
TEST(DeepPerft, DISABLED_AllRemainingCounts) {
    run_cases("standard.perft", DEFAULT_LIMIT + 1, UINT64_MAX);
    run_cases("chess960.perft", DEFAULT_LIMIT + 1, UINT64_MAX);
    TestBoard start(start_fen);
    EXPECT_EQ(count(start, 5), 4865609u);
    EXPECT_EQ(count(start, 6), 119060324u);
    TestBoard kiwi("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -");
    EXPECT_EQ(count(kiwi, 4), 4085603u);
    EXPECT_EQ(count(kiwi, 5), 193690690u);
}
