// The strength limit: an Elo becomes a number of nodes per move (the
// curve's rate over its level's pace) spread over the move's expected
// time, a speed asked for stays that speed, and a limited search through
// the executable stays within its nodes, with one thread or two.
#include <gtest/gtest.h>
#include <cmath>
#include "../shell/engine_process.h"
#include "search/strength.h"

namespace {

TEST(Strength, EloBecomesNodesPerMove) {
    // Elo(n) = 850 + 250 ln n - 5 (ln n)^2 solved by hand for n:
    // 1500 -> ln n = 2.7513, n = 15.66; 1800 -> 4.1432, 63.0;
    // 2000 -> 5.1250, 168.2; 2400 -> 7.2517, 1410; 2600 -> 8.4169, 4523;
    // 2338 -> n = 1000 (Elo 2338.4).
    // Paces: the anchors 13 s (1800), 80 s (2200), 200 s (2600); 2000 is
    // halfway in logarithm, 13 * sqrt(80 / 13) = 32.25 s; 2400, 80 *
    // sqrt(2.5) = 126.49 s; 2338, 80 * 2.5^(138/400) = 109.74 s; 1500 goes
    // on below the first segment, 13 * (80 / 13)^-0.75 = 3.327 s.
    // Powers of the time factor: the anchors 0.2, 0.7, 1.0, linear between
    // (2000: 0.45, 2338: 0.8035, 2400: 0.85) and beyond, never below 0
    // (1500: 0.2 - 0.375, held at 0).
    struct Case {
        int elo;
        double nps, pace, budget, power;
    } cases[] = {{1500, 15.66, 3.327, 52, 0.0},          {1800, 63.0, 13.0, 820, 0.2},
                 {2000, 168.2, 32.25, 5436, 0.45},       {2338, 998.0, 109.74, 109400, 0.8035},
                 {2400, 1410.0, 126.49, 178600, 0.85},   {2600, 4523.0, 200.0, 902300, 1.0}};
    const float full = 10000000.0f;
    for (const Case& c : cases) {
        // Within the half point of Elo the bisection stops at.
        EXPECT_NEAR(speed_of_elo(c.elo), c.nps, c.nps * 0.004) << c.elo;
        EXPECT_NEAR(reference_move_seconds(c.elo), c.pace, 0.01) << c.elo;
        EXPECT_NEAR(move_time_exponent(c.elo), c.power, 1e-9) << c.elo;
        const double budget = elo_node_budget(c.elo);
        EXPECT_NEAR(budget, c.budget, c.budget * 0.005) << c.elo;
        // A move of 2 s gets (2 / 0.3)^power times the nodes, spread over
        // four fifths of it, 1.6 s; one of 0.1 s (1 / 3)^power times, over
        // 0.08 s.
        StrengthLimit two = strength_limit(true, c.elo, 0, full, 2.0f);
        EXPECT_NEAR(double(two.node_budget), budget * std::pow(2 / 0.3, c.power), budget * 0.0001 + 1) << c.elo;
        EXPECT_TRUE(two.throttle);
        EXPECT_NEAR(two.target_nps, two.node_budget / 1.6, 1) << c.elo;
        StrengthLimit blitz = strength_limit(true, c.elo, 0, full, 0.1f);
        EXPECT_NEAR(double(blitz.node_budget), budget * std::pow(1 / 3.0, c.power), budget * 0.0001 + 1) << c.elo;
        EXPECT_NEAR(blitz.target_nps, blitz.node_budget * 12.5, blitz.node_budget * 0.001) << c.elo;
        // No time to go by (go depth, nodes, infinite): the budget of the
        // reference game at full speed.
        StrengthLimit untimed = strength_limit(true, c.elo, 0, full, 0);
        EXPECT_EQ(untimed.node_budget, int64_t(budget));
        EXPECT_FALSE(untimed.throttle);
        EXPECT_FLOAT_EQ(untimed.target_nps, full);
    }
    // Hand-checked factors: 1 at the reference move; 2200 (power 0.7) at
    // eight times it, 8^0.7 = 4.2871, and at an eighth, 0.2333; 1800 (0.2)
    // 8^0.2 = 1.5157; held within [0.05, 20].
    EXPECT_DOUBLE_EQ(move_time_factor(2200, 0.3), 1.0);
    EXPECT_NEAR(move_time_factor(2200, 2.4), 4.2871, 0.0001);
    EXPECT_NEAR(move_time_factor(2200, 0.0375), 0.2333, 0.0001);
    EXPECT_NEAR(move_time_factor(1800, 2.4), 1.5157, 0.0001);
    EXPECT_DOUBLE_EQ(move_time_factor(2200, 0), 1.0);
    EXPECT_DOUBLE_EQ(move_time_factor(2200, 1e-7), 0.05);
    EXPECT_DOUBLE_EQ(move_time_factor(2200, 1e7), 20.0);
    // The power stays within [0, 1.5] far from the anchors: the lowest
    // levels play alike at any time, the highest do not grow without end.
    EXPECT_DOUBLE_EQ(move_time_exponent(1000), 0.0);
    EXPECT_DOUBLE_EQ(move_time_factor(1000, 30.0), 1.0);
    EXPECT_DOUBLE_EQ(move_time_exponent(3300), 1.5);
    // The pace grows with the level and passes through its anchors; so
    // does the budget at every time a move may have.
    for (const PaceAnchor& a : PACE_ANCHORS) {
        EXPECT_NEAR(reference_move_seconds(a.elo), a.seconds, 1e-9);
        EXPECT_NEAR(move_time_exponent(a.elo), a.time_exponent, 1e-12);
    }
    for (int elo = 1500; elo < 3300; elo += 50)
        for (double seconds : {0.0, 0.02, 0.3, 2.0, 10.0})
            EXPECT_LT(strength_limit(true, elo, 0, 1e9f, float(seconds)).node_budget,
                      strength_limit(true, elo + 50, 0, 1e9f, float(seconds)).node_budget)
                << elo << " " << seconds;
}

TEST(Strength, FullSpeedAndSpeedRequests) {
    // Off: nothing.
    StrengthLimit off = strength_limit(false, 1800, 0, 1000000.0f, 1.0f);
    EXPECT_FALSE(off.throttle);
    EXPECT_EQ(off.node_budget, 0);
    EXPECT_FLOAT_EQ(off.target_nps, 1000000.0f);
    // An Elo the machine reaches at nine tenths of its speed: no limit
    // (Elo 3000 is about 59 000 nodes a second).
    StrengthLimit strong = strength_limit(true, 3000, 0, 60000.0f, 1.0f);
    EXPECT_FALSE(strong.throttle);
    EXPECT_EQ(strong.node_budget, 0);
    // A budget that full speed spends within the move: capped, not slowed
    // (2600 in 0.01 s: the factor's floor of 1/20 on 902 300 nodes).
    StrengthLimit capped = strength_limit(true, 2600, 0, 1000000.0f, 0.01f);
    EXPECT_FALSE(capped.throttle);
    EXPECT_NEAR(double(capped.node_budget), 45113, 50);
    EXPECT_FLOAT_EQ(capped.target_nps, 1000000.0f);
    // A speed asked for is that speed, at any time control, with no cap.
    for (float seconds : {0.0f, 0.05f, 30.0f}) {
        StrengthLimit speed = strength_limit(true, 2338, 1000.0f, 1000000.0f, seconds);
        EXPECT_TRUE(speed.throttle);
        EXPECT_FLOAT_EQ(speed.target_nps, 1000.0f);
        EXPECT_EQ(speed.node_budget, 0);
    }
    EXPECT_FALSE(strength_limit(true, 2338, 950000.0f, 1000000.0f, 1.0f).throttle);
}

long long field(const std::string& line, const std::string& key) {
    size_t at = line.find(" " + key + " ");
    if (at == std::string::npos) return -1;
    return std::stoll(line.substr(at + key.size() + 2));
}

// Nodes of the last info line with a node count before the bestmove.
long long final_nodes(const EngineProcess& e, size_t from) {
    long long nodes = -1;
    for (size_t i = from; i < e.lines().size(); i++)
        if (starts_with(e.lines()[i], "info ") && field(e.lines()[i], "nodes") >= 0)
            nodes = field(e.lines()[i], "nodes");
    return nodes;
}

TEST(Strength, LimitedSearchesStayWithinTheirNodes) {
    const double budget = elo_node_budget(1600);  // about 129
    ASSERT_GT(budget, 100);
    ASSERT_LT(budget, 160);
    // Each go with the longest time its move can be expected to take: a
    // 2 s clock gives well under 0.2 s a move, 300 ms of movetime less
    // the overhead, a minute's clock under 3 s; depth has none (factor 1).
    struct Go {
        const char* command;
        double longest_move;
    } gos[] = {{"go wtime 2000 btime 2000 winc 20 binc 20", 0.2},
               {"go depth 30", 0},
               {"go movetime 300", 0.3},
               {"go wtime 60000 btime 60000 winc 600 binc 600", 3.0}};
    for (const char* threads : {"1", "2"}) {
        EngineProcess e({"-use_hce"});
        ASSERT_TRUE(e.skip_startup());
        e.send(std::string("setoption name Threads value ") + threads);
        e.send("setoption name UCI_LimitStrength value true");
        e.send("setoption name UCI_Elo value 1600");
        for (const Go& go : gos) {
            size_t from = e.lines().size();
            e.send("position startpos moves e2e4 e7e5 g1f3");
            e.send(go.command);
            ASSERT_TRUE(e.wait_for_prefix("bestmove ", 60)) << go.command;
            long long nodes = final_nodes(e, from);
            // The main worker checks its count at every node once near the
            // budget; one node over is the most it can overshoot.
            const long long most = std::llround(budget * move_time_factor(1600, go.longest_move)) + 1;
            EXPECT_GT(nodes, 0) << go.command;
            EXPECT_LE(nodes, most) << threads << " threads, " << go.command;
        }
        e.send("quit");
        EXPECT_EQ(e.finish(), 0);
    }
}

TEST(Strength, CommandLineSpeedIsASpeed) {
    // -nps asks for a node rate as Target_NPS does: half a second at 2 000
    // nodes a second is about 1 000 nodes, where the Elo of that speed
    // (about 2 440) would be a budget of some 170 000.
    EngineProcess e({"-use_hce", "-nps", "2000"});
    ASSERT_TRUE(e.skip_startup());
    size_t from = e.lines().size();
    e.send("position startpos");
    e.send("go movetime 500");
    ASSERT_TRUE(e.wait_for_prefix("bestmove ", 30));
    long long nodes = final_nodes(e, from);
    EXPECT_GT(nodes, 0);
    EXPECT_LT(nodes, 3000);
    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
}

}  // namespace
