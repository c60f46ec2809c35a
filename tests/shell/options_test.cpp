// setoption replies, clamps and their effect on the uci reply; the
// configuration file route.
#include <gtest/gtest.h>
#include <algorithm>
#include <fstream>
#include "engine_process.h"

// Sends one setoption and returns the reply lines printed before the
// following isready is answered.
static std::vector<std::string> reply_to(EngineProcess& e, const std::string& option) {
    size_t before = e.lines().size();
    e.send(option);
    e.send("isready");
    e.wait_for_prefix("readyok");
    std::vector<std::string> out(e.lines().begin() + long(before), e.lines().end());
    if (!out.empty() && out.back() == "readyok") out.pop_back();
    return without_startup(out);
}

static std::string one(EngineProcess& e, const std::string& option) {
    auto r = reply_to(e, option);
    if (r.size() == 1) return r[0];
    std::string count = std::to_string(r.size());
    count += " lines";
    return count;
}

TEST(SetOption, SpinValuesAreClampedAndReported) {
    EngineProcess e;
    EXPECT_EQ(one(e, "setoption name Hash value 3"), "info string Hash set to 3");
    EXPECT_EQ(one(e, "setoption name Hash value lots"), "info string Hash set to 0");
    EXPECT_EQ(one(e, "setoption name Threads value 0"), "info string Threads set to 0");
    EXPECT_EQ(one(e, "setoption name MultiPV value 0"), "info string MultiPV set to 1");
    EXPECT_EQ(one(e, "setoption name Contempt value -999"), "info string Contempt set to -150");
    EXPECT_EQ(one(e, "setoption name SyzygyProbeDepth6 value -9"), "info string SyzygyProbeDepth6 set to -5");
    EXPECT_EQ(one(e, "setoption name MoveOverhead value 99999999999999999999"),
              "info string MoveOverhead set to 1000");
    EXPECT_EQ(one(e, "setoption name Target_NPS value 5"), "info string Target_NPS set to 20");
    EXPECT_EQ(one(e, "setoption name Speed Throttle [%] value 50"), "info string Speed Throttle [%] set to 50");
    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
}

// The engine is still there, plays, and ends cleanly.
static void expect_still_plays(EngineProcess& e) {
    e.send("position startpos");
    e.send("go depth 4");
    EXPECT_TRUE(e.wait_for_prefix("bestmove "));
    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
}

TEST(SetOption, UciEloTakesTheRangeItAnnounces) {
    EngineProcess e;
    ASSERT_TRUE(e.skip_startup());
    e.send("uci");
    auto line = e.wait_for_prefix("option name UCI_Elo ");
    ASSERT_TRUE(line);
    int value = 0, lo = 0, hi = 0;
    ASSERT_EQ(sscanf(line->c_str(), "option name UCI_Elo type spin default %d min %d max %d", &value, &lo, &hi), 3);
    ASSERT_TRUE(e.wait_for_prefix("uciok"));
    EXPECT_EQ(one(e, "setoption name UCI_Elo value " + std::to_string(hi)),
              "info string UCI_Elo set to " + std::to_string(hi));
    EXPECT_EQ(one(e, "setoption name UCI_Elo value 9999"), "info string UCI_Elo set to " + std::to_string(hi));
    EXPECT_EQ(one(e, "setoption name UCI_Elo value 100"), "info string UCI_Elo set to " + std::to_string(lo));
    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
}

// Address-space limits and the sanitizers' shadow memory do not mix.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool sanitized = true;
#else
constexpr bool sanitized = false;
#endif

TEST(SetOption, AHashTheMachineCannotGiveKeepsAWorkingTable) {
    if (sanitized) GTEST_SKIP() << "no address-space limit under the address sanitizer";
    // 1.5 GB of address space: 65536 MB cannot be had, a smaller table can.
    EngineProcess e({}, "", 1536);
    ASSERT_TRUE(e.skip_startup());
    auto r = reply_to(e, "setoption name Hash value 65536");
    ASSERT_FALSE(r.empty());
    int wanted = 0, used = -1;
    ASSERT_EQ(sscanf(r.back().c_str(), "info string cannot allocate %d Mbytes for the hash table, using %d", &wanted,
                     &used),
              2)
        << r.back();
    EXPECT_EQ(wanted, 65536);
    EXPECT_GT(used, 0);
    EXPECT_LT(used, 1536);
    expect_still_plays(e);
}

TEST(SetOption, DevicesAsFilesAreRefusedOrCutOff) {
    EngineProcess e;
    ASSERT_TRUE(e.skip_startup());
    // A network is checked by its header before anything else is read.
    auto r = reply_to(e, "setoption name NN_File value /dev/zero");
    EXPECT_EQ(r.back(), "info string network /dev/zero has an impossible layout");
    // A configuration that never ends is cut off.
    r = reply_to(e, "setoption name ConfigFilePath value /dev/zero");
    EXPECT_EQ(r.back(), "info string /dev/zero has more than 10000 lines, the rest is ignored");
    expect_still_plays(e);
}

TEST(SetOption, ChecksNeedTheLowerCaseWord) {
    EngineProcess e;
    EXPECT_EQ(one(e, "setoption name OwnBook value True"), "info string OwnBook set to 0");
    EXPECT_EQ(one(e, "setoption name OwnBook value true"), "info string OwnBook set to 1");
    EXPECT_EQ(one(e, "setoption name Ponder value untrue"), "info string Ponder set to 1");
    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
}

TEST(SetOption, TextsButtonsAndTheOpponent) {
    EngineProcess e;
    EXPECT_EQ(one(e, "setoption name OwnBook_File value my book.bin"),
              "info string OwnBook_File set to 'my book.bin'");
    // Setting the path rescans it and reports what it found.
    auto tb = reply_to(e, "setoption name SyzygyPath value /tb/a:/tb/b");
    ASSERT_EQ(tb.size(), 2u);
    EXPECT_EQ(tb[0], "info string SyzygyPath set to '/tb/a:/tb/b'");
    EXPECT_EQ(tb[1], "info string Found 0 WDL, 0 DTM and 0 DTZ tablebase files. Largest 0-men");
    EXPECT_EQ(one(e, "setoption name Clear Hash"), "info string Hash table cleared");
    EXPECT_EQ(one(e, "setoption name UCI_Opponent value GM 2800 human Magnus Carlsen"),
              "info string opponent_elo set to 2800");
    EXPECT_EQ(one(e, "setoption name UCI_Opponent value none"), "info string opponent_elo set to 0");
    // A text longer than its field is cut, not written past it.
    std::string longname(400, 'f');
    auto r = one(e, "setoption name OwnBook2_File value " + longname);
    EXPECT_EQ(r, "info string OwnBook2_File set to '" + std::string(143, 'f') + "'");
    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
}

TEST(SetOption, UnknownOrMalformedOptionsPrintNothing) {
    EngineProcess e;
    EXPECT_TRUE(reply_to(e, "setoption name hash value 5").empty());   // case matters
    EXPECT_TRUE(reply_to(e, "setoption name Hash  value 5").empty());  // the name keeps its blank
    EXPECT_TRUE(reply_to(e, "setoption").empty());
    EXPECT_TRUE(reply_to(e, "setoption value 5").empty());
    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
}

TEST(SetOption, TheUciReplyShowsTheValuesSet) {
    EngineProcess e;
    reply_to(e, "setoption name OwnBook_Depth value 70");
    reply_to(e, "setoption name UCI_Elo value 2000");
    reply_to(e, "setoption name Use_NN_eval value false");
    reply_to(e, "setoption name SyzygyProbeDepth6 value -2");
    reply_to(e, "setoption name Hash value 16");
    e.send("uci");
    e.wait_for_prefix("uciok");
    auto& l = e.lines();
    auto has = [&](const std::string& s) { return std::find(l.begin(), l.end(), s) != l.end(); };
    EXPECT_TRUE(has("option name OwnBook_Depth type spin default 60 min 0 max 60"));
    // The top of the scale is the rating the start-up calibration measured
    // (printed rounded, used truncated).
    double measured = 0;
    std::string elo_line;
    for (auto& line : l) {
        if (starts_with(line, "info string et= ")) measured = std::stod(line.substr(line.rfind("elo= ") + 5));
        if (starts_with(line, "option name UCI_Elo ")) elo_line = line;
    }
    const std::string head = "option name UCI_Elo type spin default 2000 min 1500 max ";
    ASSERT_TRUE(starts_with(elo_line, head)) << elo_line;
    EXPECT_NEAR(std::stod(elo_line.substr(head.size())), measured, 1.0);
    EXPECT_TRUE(has("option name Use_NN_eval type check default false"));
    EXPECT_TRUE(has("option name SyzygyProbeDepth6 type spin default -2 min -5 max 100"));
    EXPECT_TRUE(has("option name Hash type spin default 16 min 0 max 65536"));
    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
}

TEST(ConfigFile, LinesActAsOptions) {
    TempDir dir;
    std::ofstream(dir.file("a.cfg")) << "MultiPV = 4\r\nHash # = 3\n# Hash = 7\nab\nContempt=12 # trailing note\n";
    EngineProcess e({}, dir.path());
    auto r = reply_to(e, "setoption name ConfigFilePath value a.cfg");
    std::vector<std::string> expect = {"info string ConfigFilePath set to 'a.cfg'",
                                       "info string loading parameters from a.cfg",
                                       "info string MultiPV set to 4", "info string Contempt set to 12"};
    EXPECT_EQ(r, expect);
    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
}

TEST(ConfigFile, AFileThatNamesItselfEnds) {
    TempDir dir;
    std::ofstream(dir.file("loop.cfg")) << "ConfigFilePath = loop.cfg\nHash = 8\n";
    EngineProcess e({"-cfg", "loop.cfg"}, dir.path());
    e.send("isready");
    EXPECT_TRUE(e.wait_for_prefix("readyok"));
    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
    int hash_lines = 0;
    for (auto& l : e.lines()) hash_lines += l == "info string Hash set to 8";
    EXPECT_GE(hash_lines, 1);
    EXPECT_LE(hash_lines, 8);
}
