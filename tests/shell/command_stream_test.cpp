// Random streams of protocol commands sent to the real executable at
// random moments: searches started, stopped, pondered, hit and cut short
// by new commands, options changed, garbage between. Whatever comes, every
// go gets exactly one bestmove, isready is always answered, and quit ends
// the process cleanly.
#include <gtest/gtest.h>
#include <chrono>
#include <random>
#include <string>
#include <thread>
#include "engine_process.h"

namespace {

const char* const fens[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "7k/8/5K2/8/8/8/8/6Q1 w - - 0 1",        // mate in one
    "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1",        // stalemate: no move to answer
    "7k/8/5K2/8/8/8/8/6Q1 b - - 100 80",     // drawn by the fifty-move rule
    "1r4kr/8/8/8/8/8/8/1R4KR w HBhb - 0 1",  // Chess960 castling rights
};

const char* const move_lists[] = {"", " moves e2e4 e7e5 g1f3", " moves d2d4 d7d5 c2c4 e7e6 b1c3",
                                  " moves g1f3 g8f6 f3g1 f6g8 g1f3 g8f6 f3g1 f6g8"};

const char* const garbage[] = {"", "   ", "banana", "go banana", "position", "position fen",
                               "setoption name", "setoption name Nonsense value 3", "ponderhit", "stop",
                               "position fen 8/8/8/8/8/8/8/8 w - -", "go depth", "go movetime -5",
                               "position startpos moves e2e5"};

// One command, and whether it is a go (which owes a bestmove).
std::string random_command(std::mt19937& rng, bool& is_go) {
    is_go = false;
    switch (rng() % 14) {
        case 0:
            return std::string("position startpos") + move_lists[rng() % 4];
        case 1:
            return std::string("position fen ") + fens[rng() % (sizeof fens / sizeof fens[0])];
        case 2:
        case 3:
            is_go = true;
            return "go depth " + std::to_string(1 + rng() % 7);
        case 4:
            is_go = true;
            return "go movetime " + std::to_string(5 + rng() % 60);
        case 5:
            is_go = true;
            return "go nodes " + std::to_string(100 + rng() % 20000);
        case 6:
            is_go = true;
            return rng() % 2 ? "go infinite" : "go ponder";
        case 7:
            is_go = true;
            return "go wtime " + std::to_string(200 + rng() % 3000) + " btime 1000 winc 10 binc 10";
        case 8:
            return "stop";
        case 9:
            return "ponderhit";
        case 10:
            return "isready";
        case 11:
            return rng() % 2 ? "setoption name Hash value " + std::to_string(1 + rng() % 16)
                             : "setoption name MultiPV value " + std::to_string(1 + rng() % 3);
        case 12:
            return "ucinewgame";
        default: {
            // A malformed go is still a go: "go banana" searches as a bare go.
            const std::string g = garbage[rng() % (sizeof garbage / sizeof garbage[0])];
            is_go = g.rfind("go", 0) == 0;
            return g;
        }
    }
}

int count_bestmoves(const EngineProcess& e) {
    int n = 0;
    for (auto& l : e.lines()) n += starts_with(l, "bestmove ");
    return n;
}

// Sends commands random commands with random pauses; returns the number of
// go commands sent. Every 40 commands the engine must answer isready.
int run_stream(EngineProcess& e, uint32_t seed, int commands) {
    std::mt19937 rng(seed);
    int gos = 0;
    for (int i = 0; i < commands; i++) {
        bool is_go = false;
        std::string c = random_command(rng, is_go);
        e.send(c);
        gos += is_go;
        if (rng() % 3 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(rng() % 15));
        if (i % 40 == 39) {
            e.send("isready");
            EXPECT_TRUE(e.wait_for_prefix("readyok", 20)) << "no readyok after command " << i << ": " << c;
            if (testing::Test::HasFailure()) return gos;
        }
    }
    return gos;
}

void check_stream(int threads, uint32_t seed, int commands) {
    EngineProcess e;
    ASSERT_TRUE(e.skip_startup());
    e.send("setoption name Threads value " + std::to_string(threads));
    e.send("setoption name Hash value 8");
    const int gos = run_stream(e, seed, commands);
    ASSERT_FALSE(testing::Test::HasFailure());
    // Whatever is still searching or holding its result is stopped; then
    // every go has had its bestmove.
    e.send("stop");
    e.send("isready");
    ASSERT_TRUE(e.wait_for_prefix("readyok", 20));
    for (int i = 0; i < 200 && count_bestmoves(e) < gos; i++) {
        e.send("stop");
        e.next_line(0.1);
    }
    e.send("quit");
    EXPECT_EQ(e.finish(30), 0) << "seed " << seed;
    EXPECT_EQ(count_bestmoves(e), gos) << "seed " << seed << ", threads " << threads;
    for (auto& l : e.lines()) EXPECT_EQ(l.find("unexpected command"), std::string::npos) << l;
}

}  // namespace

TEST(CommandStream, EveryGoGetsOneBestmoveWithOneThread) { check_stream(1, 1234, 400); }

TEST(CommandStream, EveryGoGetsOneBestmoveWithTwoThreads) { check_stream(2, 5678, 400); }

// The long version, for the sanitizer build: --gtest_also_run_disabled_tests
// --gtest_filter=CommandStream.DISABLED_*
TEST(CommandStream, DISABLED_ThousandsOfCommands) {
    for (uint32_t seed = 1; seed <= 4; seed++) {
        check_stream(1 + int(seed % 2), seed * 7919, 1500);
        if (testing::Test::HasFailure()) return;
    }
}
