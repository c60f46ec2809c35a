// Searches driven through the executable's protocol: limits, stop, ponder,
// several threads, multi-PV output and the clock. The engines run with the
// hand-crafted evaluation, whose fixed-depth searches stay small.
#include <gtest/gtest.h>
#include <chrono>
#include <set>
#include "../shell/engine_process.h"
#include "../shell/legal_texts.h"

namespace {

const std::string START = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";

std::string move_of(const std::optional<std::string>& line) {
    if (!line || line->size() < 9) return "";
    std::string s = line->substr(9);
    return s.substr(0, s.find(' '));
}

// Value of the word after key in an info line, -1 when absent.
long long field(const std::string& line, const std::string& key) {
    size_t at = line.find(" " + key + " ");
    if (at == std::string::npos) return -1;
    return std::stoll(line.substr(at + key.size() + 2));
}

std::vector<std::string> info_lines(const EngineProcess& e) {
    std::vector<std::string> out;
    for (auto& l : e.lines())
        if (starts_with(l, "info depth ") || starts_with(l, "info multipv ")) out.push_back(l);
    return out;
}

double seconds_since(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

TEST(SearchSession, DepthLimitedSearchReportsEachIteration) {
    EngineProcess e({"-use_hce"});
    e.send("position startpos moves e2e4");
    e.send("go depth 7");
    std::string move = move_of(e.wait_for_prefix("bestmove "));
    EXPECT_TRUE(is_legal_text(START, {"e2e4"}, move)) << move;
    auto info = info_lines(e);
    ASSERT_FALSE(info.empty());
    EXPECT_EQ(field(info.back(), "depth"), 7);
    // The final line's first move is the best move.
    const std::string& last = info.back();
    EXPECT_EQ(last.substr(last.find(" pv ") + 4, move.size()), move);
    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
}

TEST(SearchSession, MateIsReportedInMoves) {
    EngineProcess e({"-use_hce"});
    e.send("position fen r1b2k1r/ppp1bppp/8/1B1Q4/5q2/2P5/PPP2PPP/R3R1K1 w - - 0 1");
    e.send("go depth 6");
    EXPECT_EQ(move_of(e.wait_for_prefix("bestmove ")), "d5d8");
    EXPECT_NE(info_lines(e).back().find(" score mate 2 "), std::string::npos) << info_lines(e).back();
    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
}

TEST(SearchSession, MultiPvPrintsOneLinePerIndex) {
    EngineProcess e({"-use_hce"});
    e.send("setoption name MultiPV value 3");
    e.send("position startpos");
    e.send("go depth 6");
    ASSERT_TRUE(e.wait_for_prefix("bestmove "));
    std::set<std::string> first_moves;
    int at_depth6[4] = {0, 0, 0, 0};
    auto info = info_lines(e);
    info.pop_back();  // the closing repeat of the first line
    for (auto& l : info) {
        long long k = field(l, "multipv");
        if (field(l, "depth") != 6 || k < 1 || k > 3) continue;
        at_depth6[k]++;
        first_moves.insert(l.substr(l.find(" pv ") + 4, 4));
    }
    EXPECT_EQ(at_depth6[1], 1);
    EXPECT_EQ(at_depth6[2], 1);
    EXPECT_EQ(at_depth6[3], 1);
    EXPECT_EQ(first_moves.size(), 3u);
    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
}

TEST(SearchSession, NodeLimitEndsTheSearch) {
    EngineProcess e({"-use_hce"});
    e.send("position startpos");
    e.send("go nodes 20000");
    std::string move = move_of(e.wait_for_prefix("bestmove ", 30));
    EXPECT_TRUE(is_legal_text(START, {}, move)) << move;
    long long nodes = field(info_lines(e).back(), "nodes");
    EXPECT_GE(nodes, 20000);
    EXPECT_LT(nodes, 200000);
    // The limit belongs to that go only.
    e.send("go depth 9");
    ASSERT_TRUE(e.wait_for_prefix("bestmove ", 60));
    EXPECT_EQ(field(info_lines(e).back(), "depth"), 9);
    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
}

TEST(SearchSession, InfiniteSearchServesIsreadyAndStops) {
    EngineProcess e({"-use_hce"});
    ASSERT_TRUE(e.skip_startup());
    e.send("position startpos moves d2d4 d7d5");
    e.send("go infinite");
    e.send("isready");
    EXPECT_TRUE(e.wait_for_prefix("readyok", 5));
    e.send("stop");
    std::string move = move_of(e.wait_for_prefix("bestmove ", 5));
    EXPECT_TRUE(is_legal_text(START, {"d2d4", "d7d5"}, move)) << move;
    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
}

TEST(SearchSession, PonderWaitsForPonderhitOrStop) {
    EngineProcess e({"-use_hce"});
    ASSERT_TRUE(e.skip_startup());
    e.send("position startpos moves e2e4 e7e5");
    e.send("go ponder wtime 2000 btime 2000");
    // Pondering never ends on the clock.
    EXPECT_FALSE(e.wait_for_prefix("bestmove ", 1.0));
    e.send("ponderhit");
    std::string move = move_of(e.wait_for_prefix("bestmove ", 5));
    EXPECT_TRUE(is_legal_text(START, {"e2e4", "e7e5"}, move)) << move;

    e.send("go ponder wtime 2000 btime 2000");
    EXPECT_FALSE(e.wait_for_prefix("bestmove ", 0.5));
    e.send("stop");
    EXPECT_TRUE(e.wait_for_prefix("bestmove ", 5));
    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
}

TEST(SearchSession, TwoThreadsSearchAndQuitMidSearch) {
    EngineProcess e({"-use_hce"});
    e.send("setoption name Threads value 2");
    e.send("position startpos moves g1f3");
    e.send("go depth 10");
    std::string move = move_of(e.wait_for_prefix("bestmove ", 60));
    EXPECT_TRUE(is_legal_text(START, {"g1f3"}, move)) << move;
    e.send("go infinite");
    e.send("quit");
    // The search in progress still answers before the engine ends.
    EXPECT_TRUE(e.wait_for_prefix("bestmove ", 5));
    EXPECT_EQ(e.finish(), 0);
}

TEST(SearchSession, TheClockIsRespected) {
    EngineProcess e({"-use_hce"});
    ASSERT_TRUE(e.skip_startup());
    e.send("position startpos");
    e.send("isready");
    ASSERT_TRUE(e.wait_for_prefix("readyok"));
    // One second on the clock: the move must come well within it.
    auto t0 = std::chrono::steady_clock::now();
    e.send("go wtime 1000 btime 1000");
    ASSERT_TRUE(e.wait_for_prefix("bestmove ", 5));
    EXPECT_LT(seconds_since(t0), 1.0);
    // A fixed move time is used, not exceeded by much.
    t0 = std::chrono::steady_clock::now();
    e.send("go movetime 300");
    ASSERT_TRUE(e.wait_for_prefix("bestmove ", 5));
    double spent = seconds_since(t0);
    EXPECT_GE(spent, 0.28);
    EXPECT_LT(spent, 2.0);
    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
}

TEST(SearchSession, ASingleReplyEndsAfterDepthFive) {
    EngineProcess e({"-use_hce"});
    // Black's king has one move.
    e.send("position fen k7/8/1K6/8/8/8/8/7R b - - 0 1");
    e.send("go wtime 600000 btime 600000");
    EXPECT_EQ(move_of(e.wait_for_prefix("bestmove ", 30)), "a8b8");
    EXPECT_LE(field(info_lines(e).back(), "depth"), 6);
    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
}

TEST(SearchSession, MovesToGoAndIncrementsShareTheClock) {
    EngineProcess e({"-use_hce"});
    ASSERT_TRUE(e.skip_startup());
    e.send("position startpos moves e2e4");
    auto t0 = std::chrono::steady_clock::now();
    // One move to go: about half of the three seconds, never all of them.
    e.send("go wtime 3000 btime 3000 movestogo 1");
    std::string move = move_of(e.wait_for_prefix("bestmove ", 10));
    EXPECT_TRUE(is_legal_text(START, {"e2e4"}, move)) << move;
    EXPECT_LT(seconds_since(t0), 2.5);
    t0 = std::chrono::steady_clock::now();
    e.send("go wtime 500 btime 500 winc 200 binc 200");
    move = move_of(e.wait_for_prefix("bestmove ", 10));
    EXPECT_TRUE(is_legal_text(START, {"e2e4"}, move)) << move;
    EXPECT_LT(seconds_since(t0), 0.7);
    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
}

TEST(SearchSession, CastlingIsReadInBothNotations) {
    const std::vector<std::string> before = {"e2e4", "e7e5", "g1f3", "b8c6", "f1c4", "g8f6"};
    for (const char* castle : {"e1g1", "e1h1"}) {
        EngineProcess e({"-use_hce"});
        ASSERT_TRUE(e.skip_startup());
        std::string line = "position startpos moves";
        for (auto& m : before) line += " " + m;
        e.send(line + " " + castle);
        e.send("go depth 5");
        std::string move = move_of(e.wait_for_prefix("bestmove ", 20));
        auto played = before;
        played.push_back("e1g1");
        EXPECT_TRUE(is_legal_text(START, played, move)) << castle << ": " << move;
        for (auto& l : e.lines()) EXPECT_EQ(l.find("illegal move"), std::string::npos) << l;
        e.send("quit");
        EXPECT_EQ(e.finish(), 0);
    }
}

TEST(SearchSession, Chess960CastlingWithKingAndRookSwapping) {
    // King f1 and rook g1: castling short swaps them, written king takes rook.
    const std::string fen = "1r3kr1/pppppppp/8/8/8/8/PPPPPPPP/1R3KR1 w GBgb - 0 1";
    EngineProcess e({"-use_hce"});
    ASSERT_TRUE(e.skip_startup());
    e.send("setoption name UCI_Chess960 value true");
    e.send("position fen " + fen + " moves f1g1");
    e.send("go depth 6");
    std::string move = move_of(e.wait_for_prefix("bestmove ", 20));
    EXPECT_TRUE(is_legal_text(fen, {"f1g1"}, move)) << move;
    // After the castling White's king stands on g1 and the rook on f1: the
    // rook moves on, the king cannot castle again.
    e.send("position fen " + fen + " moves f1g1 a7a6 f1e1");
    e.send("position fen " + fen + " moves f1g1 a7a6 g1f1");
    e.send("isready");
    ASSERT_TRUE(e.wait_for_prefix("readyok"));
    std::vector<std::string> illegal;
    for (auto& l : e.lines())
        if (l.find("illegal move") != std::string::npos) illegal.push_back(l);
    EXPECT_EQ(illegal, std::vector<std::string>{"info string illegal move g1f1"});
    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
}

TEST(SearchSession, ARepeatedRootIsAnnouncedAndStillSearched) {
    EngineProcess e({"-use_hce"});
    ASSERT_TRUE(e.skip_startup());
    e.send("position startpos moves g1f3 g8f6 f3g1 f6g8 g1f3 g8f6 f3g1 f6g8");
    e.send("go depth 5");
    EXPECT_TRUE(e.wait_for_prefix("info string Draw!", 10));
    // The front end still gets its move, found by a search to the depth asked.
    EXPECT_TRUE(e.wait_for_prefix("info depth 5 ", 10));
    EXPECT_TRUE(e.wait_for_prefix("bestmove ", 10));
    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
}

TEST(SearchSession, StrengthLimitSlowsTheSearchDown) {
    EngineProcess e({"-use_hce"});
    ASSERT_TRUE(e.skip_startup());
    e.send("position startpos");
    e.send("go movetime 400");
    ASSERT_TRUE(e.wait_for_prefix("bestmove ", 10));
    long long full = field(info_lines(e).back(), "nodes");
    // About 14 nodes a second: after depth 1 the main worker mostly sleeps.
    e.send("setoption name UCI_LimitStrength value true");
    e.send("setoption name UCI_Elo value 1500");
    e.send("go movetime 400");
    std::string move = move_of(e.wait_for_prefix("bestmove ", 10));
    EXPECT_TRUE(is_legal_text(START, {}, move)) << move;
    long long slow = field(info_lines(e).back(), "nodes");
    EXPECT_GT(full, 20 * slow) << full << " against " << slow;
    EXPECT_LT(slow, 2000);
    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
}

TEST(SearchSession, SelectivityShapesTheMarginTables) {
    EngineProcess e({"-use_hce"});
    ASSERT_TRUE(e.skip_startup());
    e.send("_show");
    e.send("setoption name Selectivity value 50");
    e.send("_show");
    e.send("isready");
    ASSERT_TRUE(e.wait_for_prefix("readyok"));
    std::vector<std::string> fp;
    for (auto& l : e.lines())
        if (starts_with(l, "FP_margins= ")) fp.push_back(l);
    ASSERT_EQ(fp.size(), 2u);
    EXPECT_EQ(fp[0], "FP_margins=  100 200 300 400 9000 9000 9000");
    EXPECT_EQ(fp[1], "FP_margins=  150 300 450 600 9000 9000 9000");
    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
}

}  // namespace
