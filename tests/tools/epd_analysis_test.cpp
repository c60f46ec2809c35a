// The EPD analyser (-anepd) and its book-building form (-mkbook2).
#include <gtest/gtest.h>
#include "../shell/engine_process.h"
#include "tools_support.h"

namespace {

const char* const summary_prefixes[] = {"total nodes= ", "total time= ", "avg depth= ", "avg nodes= ",
                                        "node_rate= ",   "avg bf= ",     "score= "};

// The summary: the lines after "N / M correct best moves", in order.
std::vector<std::string> summary(const std::vector<std::string>& out) {
    for (size_t i = 0; i < out.size(); i++)
        if (out[i].find(" correct best moves") != std::string::npos)
            return std::vector<std::string>(out.begin() + long(i), out.end());
    return {};
}

}  // namespace

TEST(EpdAnalysis, BratkoKopecAtASmallDepthPrintsTheSummary) {
    TempDir dir;
    std::vector<std::string> out;
    ASSERT_EQ(run_engine({"-use_hce", "-d", "3", "-o", "bk.epd", "-anepd", data_file("epd/bratko-kopec.epd")}, {}, out,
                         dir.path()),
              0);
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out[0], "Analyzing " + data_file("epd/bratko-kopec.epd") + "...");
    auto s = summary(out);
    ASSERT_EQ(s.size(), 9u);
    EXPECT_NE(s[0].find(" / 24 correct best moves"), std::string::npos) << s[0];
    for (int i = 0; i < 7; i++) EXPECT_TRUE(starts_with(s[size_t(i) + 1], summary_prefixes[i])) << s[size_t(i) + 1];
    EXPECT_EQ(s[3], "avg depth= 3.0");
    EXPECT_EQ(s[7], "score= 0 / 0");
    EXPECT_EQ(s[8], "");
    auto answers = file_lines(dir.file("bk.epd"));
    ASSERT_EQ(answers.size(), 24u);
    EXPECT_TRUE(starts_with(answers[0], "1k1r4/pp1b1R2/3q2pp/4p3/2B5/4Q3/PPP2B2/2K5 b - - bm ")) << answers[0];
    EXPECT_NE(answers[0].find("; ce "), std::string::npos);
    // The second form writes nothing to tmp_0.epd in the first.
    EXPECT_EQ(read_file(dir.file("tmp_0.epd")), "");
}

TEST(EpdAnalysis, AnswersAreScoredByBestMovesAvoidMovesAndPoints) {
    TempDir dir;
    // A back-rank mate in one: any depth finds Ra8.
    const std::string mate = "6k1/5ppp/8/8/8/8/5PPP/R5K1 w - -";
    std::string suite = std::string("\xEF\xBB\xBF") + mate + " bm Rb1, Ra8; id \"two\";\r\n" +  // BOM, CRLF
                        "# a comment\n; another\n  " + mate + " bm Ra8;\nshort\n" +             // skipped lines
                        "8/8/8/8/8/8/8/8 w - - bm Ra8;\n" +                                      // no kings: skipped
                        mate + " am Rb1; id \"avoid\";\n" + mate + " c0 \"Rb1=10, Ra8=5\";\n" +
                        mate + " bm Ra8 Rb1; id \"blank separated\";\n" + mate + " " +
                        std::string(900, 'x') + ";\n" + mate + " bm Ra8;\n";
    write_file(dir.file("suite.epd"), suite);
    std::vector<std::string> out;
    ASSERT_EQ(run_engine({"-use_hce", "-d", "2", "-anepd", "suite.epd"}, {}, out, dir.path()), 0);
    auto s = summary(out);
    ASSERT_EQ(s.size(), 9u);
    // Counted: the BOM line, am, c0, the blank-separated bm (which matches
    // nothing, the parser joined it), the over-long line and the last one.
    EXPECT_EQ(s[0], "3 / 6 correct best moves");
    EXPECT_EQ(s[7], "score= 5 / 10");
    // -o was not given: the answers go to tmp0.epd, the default output.
    auto answers = file_lines(dir.file("tmp0.epd"));
    ASSERT_EQ(answers.size(), 6u);
    for (auto& a : answers) EXPECT_TRUE(starts_with(a, mate + " bm a1a8; ce 9")) << a;
}

TEST(EpdAnalysis, TheSecondFormWritesThePositionsAfterTheGoodMoves) {
    TempDir dir;
    write_file(dir.file("suite.epd"), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - id \"start\";\n"
                                      "6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - bm Ra8;\n");
    std::vector<std::string> out;
    ASSERT_EQ(run_engine({"-use_hce", "-d", "3", "-mpv", "3", "-mkbook2", "suite.epd"}, {}, out, dir.path()), 0);
    EXPECT_EQ(file_lines(dir.file("junk.epd")).size(), 2u);
    auto good = file_lines(dir.file("tmp_0.epd"));
    // Up to three opening moves within 100 of the best, and the one mate.
    ASSERT_GE(good.size(), 2u);
    ASSERT_LE(good.size(), 4u);
    EXPECT_EQ(good.back(), "R5k1/5ppp/8/8/8/8/5PPP/6K1 b - -");
    for (size_t i = 0; i + 1 < good.size(); i++) EXPECT_NE(good[i].find(" b KQkq"), std::string::npos) << good[i];
}

TEST(EpdAnalysis, AMissingSuiteEndsWithoutASummary) {
    TempDir dir;
    std::vector<std::string> out;
    ASSERT_EQ(run_engine({"-d", "2", "-anepd", "missing.epd"}, {}, out, dir.path()), 0);
    EXPECT_TRUE(summary(out).empty());
}
