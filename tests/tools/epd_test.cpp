// EPD lines: the shared test suites and the operand rules.
#include <gtest/gtest.h>
#include <cstdio>
#include <fstream>
#include <string>
#include "position/notation.h"
#include "tools/epd.h"
#include "../support/test_position.h"

namespace {
std::vector<std::string> lines_of(const std::string& rel) {
    std::ifstream f(std::string(VORN_DATA_DIR) + "/" + rel);
    std::vector<std::string> out;
    std::string l;
    while (std::getline(f, l))
        if (!l.empty()) out.push_back(l);
    return out;
}
}  // namespace

TEST(EpdRead, BratkoKopecPositionsMovesAndNames) {
    auto lines = lines_of("epd/bratko-kopec.epd");
    ASSERT_EQ(lines.size(), 24u);
    for (size_t i = 0; i < lines.size(); i++) {
        EpdFields f;
        ASSERT_NE(parse_epd_line(lines[i].c_str(), f), 0) << lines[i];
        char id[16];
        snprintf(id, sizeof id, "\"BK.%02d\"", int(i + 1));
        EXPECT_STREQ(f.id, id);
        EXPECT_EQ(lines[i].rfind(std::string(f.fen) + " bm ", 0), 0u) << "the FEN is the first four fields";
        TestBoard b;
        ASSERT_TRUE(b.set(f.fen)) << f.fen;
        ASSERT_TRUE(f.bm[0]);
        EXPECT_EQ(f.ce[0] | f.sc[0] | f.gr[0] | f.am[0] | f.c0[0], 0);
        // A single best move reads as a legal move of the position.
        std::string bm = lines[i].substr(lines[i].find(" bm ") + 4);
        bm = bm.substr(0, bm.find(';'));
        if (bm.find(' ') == std::string::npos) {
            char text[EPD_FIELD_SIZE + 2];
            snprintf(text, sizeof text, "%s", f.bm);
            Move m;
            EXPECT_EQ(parse_move(b.pos(), text, m), 1) << f.bm << " in " << f.fen;
        }
    }
    EpdFields f;
    parse_epd_line(lines[4].c_str(), f);
    EXPECT_STREQ(f.bm, "Nd5a4");  // two moves, blanks removed
}

TEST(EpdRead, EndgamePositionsIgnoreUnknownOperations) {
    auto lines = lines_of("epd/endgame.epd");
    ASSERT_GT(lines.size(), 50u);
    for (auto& l : lines) {
        EpdFields f;
        ASSERT_NE(parse_epd_line(l.c_str(), f), 0);
        TestBoard b;
        EXPECT_TRUE(b.set(f.fen)) << f.fen;
        EXPECT_EQ(f.ce[0] | f.sc[0] | f.gr[0] | f.bm[0] | f.am[0] | f.id[0] | f.c0[0], 0) << l;
    }
}

TEST(EpdRead, CountersOperandsAndUnfinishedOperations) {
    EpdFields f;
    ASSERT_NE(parse_epd_line("8/8/8/8/8/8/8/K1k5 w - - 12 40 ce  35 ; sc -7; gr 0.5;c0 e4=10, d4 = 5; am Qh5\r\n", f), 0);
    EXPECT_STREQ(f.fen, "8/8/8/8/8/8/8/K1k5 w - -");
    EXPECT_STREQ(f.ce, "35");
    EXPECT_STREQ(f.sc, "-7");
    EXPECT_STREQ(f.gr, "0.5");
    EXPECT_STREQ(f.c0, "e4=10,d4=5");
    EXPECT_STREQ(f.am, "");  // no ';': the reading ends there
    // Unknown opcodes are passed over; the known ones after them still count.
    ASSERT_NE(parse_epd_line("8/8/8/8/8/8/8/K1k5 b - - acd 20; pv Kb1 Kd2; bm Kb2;", f), 0);
    EXPECT_STREQ(f.bm, "Kb2");
    // Long operands are cut to the field, never written past it.
    std::string long_line = "8/8/8/8/8/8/8/K1k5 w - - c0 " + std::string(1000, 'x') + ";";
    ASSERT_NE(parse_epd_line(long_line.c_str(), f), 0);
    EXPECT_EQ(std::string(f.c0), std::string(EPD_FIELD_SIZE - 1, 'x'));
    EXPECT_EQ(parse_epd_line("", f), 0);
    EXPECT_EQ(parse_epd_line("\n", f), 0);
}
