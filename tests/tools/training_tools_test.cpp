// The training-data tools: EPD and binary records, feature records, the
// duplicate filter, the statistics, the re-scorer and the self-play
// generator, each run through the real program.
#include <gtest/gtest.h>
#include <cmath>
#include <cstring>
#include "../shell/engine_process.h"
#include "tools/training_data.h"
#include "tools_support.h"

namespace {

std::vector<TrainingRecord> records_of(const std::string& path) {
    std::string bytes = read_file(path);
    std::vector<TrainingRecord> out(bytes.size() / sizeof(TrainingRecord));
    if (!out.empty()) memcpy(out.data(), bytes.data(), out.size() * sizeof(TrainingRecord));
    return out;
}

std::vector<FeatureRecord> features_of(const std::string& path) {
    std::string bytes = read_file(path);
    EXPECT_EQ(bytes.size() % sizeof(FeatureRecord), 0u);
    std::vector<FeatureRecord> out(bytes.size() / sizeof(FeatureRecord));
    if (!out.empty()) memcpy(out.data(), bytes.data(), out.size() * sizeof(FeatureRecord));
    return out;
}

std::vector<std::string> run_tool(const std::vector<std::string>& args, const TempDir& dir, int status = 0) {
    std::vector<std::string> out;
    std::vector<std::string> all = {"-quiet"};
    all.insert(all.end(), args.begin(), args.end());
    EXPECT_EQ(run_engine(all, {}, out, dir.path()), status) << args[0];
    return out;
}

int nibble(const TrainingRecord& r, int sq) { return (r.board[sq / 2] >> (4 * (sq & 1))) & 15; }

const std::string kp_white = "4k3/8/8/8/8/8/4P3/4K3 w - -";

}  // namespace

TEST(TrainingFiles, EpdToBinAndBackKeepsPositionsAndScores) {
    TempDir dir;
    write_file(dir.file("in.epd"),
               "\xEF\xBB\xBF" "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - ce 35; sc 20; gr 0.5;\r\n"
               "# a comment line that is long enough to be read\n"
               "short line\n" +
                   kp_white + " ce 300; gr 1.0;\n"            // ce only: the same score at 36 and 38
                   "4k3/8/8/8/8/8/4P3/4K3 b - - 0 1 ce -250; sc -240;\n"  // counters, no gr
                   "4k3/8/8/8/8/8/8/4K3 w - - gr 0.5;\n"      // no score: skipped
                   "4k3/8/8/8/8/8/4P3/4K3 w - - ce 600; sc 600; gr 0.5;\n"  // drawn but p = 0.95: skipped
                   "4k3/8/8/8/8/8/4P3/4K3 w - - ce 100; sc 100; gr 0.0;\n"  // lost, p 0.62: kept
                   "8/8/8/8/8/8/8/8 w - - ce 10;\n" +          // no kings: the board reader refuses it
                   kp_white + " ce 5; " + std::string(400, 'x') + ";\n" +  // over-long: cut after ce, tail not a line
                   "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - ce 12000; sc 9000; gr 1.0;\n");
    auto out = run_tool({"-epd2bin", "in.epd"}, dir);
    EXPECT_TRUE(contains(out, "reading positions from file in.epd."));
    EXPECT_TRUE(contains(out, "read 6 positions."));
    EXPECT_TRUE(contains(out, "stored 6 positions in in.bin."));
    auto r = records_of(dir.file("in.bin"));
    ASSERT_EQ(r.size(), 6u);
    EXPECT_EQ(read_file(dir.file("in.bin")).size(), 240u);
    // Layout: e4 pawn at square 28 (low nibble of byte 14), black king e8 (60).
    EXPECT_EQ(nibble(r[0], 28), 1);
    EXPECT_EQ(nibble(r[0], 60), 14);
    EXPECT_EQ(nibble(r[0], 12), 0);
    EXPECT_EQ(r[0].castle_side, 0x1F) << "all four rights, Black to move";
    EXPECT_EQ(r[0].ep_square, 64);
    EXPECT_EQ(r[0].result, 0);
    EXPECT_EQ(r[0].search_score, 35);
    EXPECT_EQ(r[0].static_score, 20);
    EXPECT_EQ(r[1].result, 2760);
    EXPECT_EQ(r[1].search_score, 300);
    EXPECT_EQ(r[1].static_score, 300);
    EXPECT_EQ(r[1].castle_side, 0x00);
    EXPECT_EQ(r[2].result, result_to_score(float(score_to_probability(-250))));
    EXPECT_EQ(r[3].result, -2763);
    EXPECT_EQ(r[4].search_score, 5);
    EXPECT_EQ(r[5].search_score, 12000);
    EXPECT_EQ(r[5].static_score, 3000) << "sc is clamped";

    run_tool({"-bin2epd", "in.bin"}, dir);
    auto back = file_lines(dir.file("in.epd"));
    std::vector<std::string> expect = {
        "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - ce 35; sc 20; gr 0.5;",
        kp_white + " ce 300; sc 300; gr 1.0;",
        "4k3/8/8/8/8/8/4P3/4K3 b - - ce -250; sc -240; gr 0.2;",
        kp_white + " ce 100; sc 100; gr 0.0;",
        kp_white + " ce 5; sc 5; gr 0.5;",
        "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - ce 12000; sc 3000; gr 1.0;"};
    EXPECT_EQ(back, expect);
    // And once more: the text written is read back to the same boards and
    // scores; the result keeps the one decimal of its gr text.
    run_tool({"-epd2bin", "in.epd"}, dir);
    auto again = records_of(dir.file("in.bin"));
    ASSERT_EQ(again.size(), r.size());
    for (size_t i = 0; i < r.size(); i++) {
        EXPECT_EQ(memcmp(&again[i], &r[i], 34), 0) << i;
        EXPECT_EQ(again[i].search_score, r[i].search_score) << i;
        EXPECT_EQ(again[i].static_score, r[i].static_score) << i;
    }
    EXPECT_EQ(again[2].result, result_to_score(0.2f)) << "gr 0.2 as written";
    for (size_t i : {0, 1, 3, 5}) EXPECT_EQ(again[i].result, r[i].result) << i;
}

TEST(TrainingFiles, NamesWithoutTheirExtensionAndMissingFilesWriteNothing) {
    TempDir dir;
    write_file(dir.file("in.txt"), kp_white + " ce 1;\n");
    run_tool({"-epd2bin", "in.txt"}, dir);
    run_tool({"-bin2epd", "in.txt"}, dir);
    run_tool({"-bin2ptb", "none.bin"}, dir);
    run_tool({"-filtertraindata", "in.txt"}, dir);
    auto out = run_tool({"-epd2bin", "none.epd"}, dir);
    EXPECT_TRUE(contains(out, "can't open none.epd"));
    EXPECT_EQ(file_lines(dir.file("in.txt")).size(), 1u);
    EXPECT_TRUE(read_file(dir.file("none.bin")).empty());
    EXPECT_TRUE(read_file(dir.file("none.ptb")).empty());
    EXPECT_TRUE(read_file(dir.file("filtered.bin")).empty());
}

TEST(TrainingFiles, FeatureRecordsOfHandCheckedPositions) {
    TempDir dir;
    write_file(dir.file("f.epd"), kp_white + " ce 100; sc 80; gr 1.0;\n"
                                  "4k3/8/8/8/8/8/4P3/4K3 b - - ce -100; sc -80; gr 0.0;\n"
                                  "3k4/8/8/8/8/8/8/2K1Q3 w - - ce 900; gr 1.0;\n"
                                  "2k5/p7/8/8/8/8/8/4K3 b - - ce 100; gr 1.0;\n");
    run_tool({"-epd2bin", "f.epd"}, dir);
    run_tool({"-bin2ptb", "f.bin"}, dir);
    auto f = features_of(dir.file("f.ptb"));
    ASSERT_EQ(f.size(), 4u);
    auto first = [](const FeatureRecord& r, int n) { return std::vector<int16_t>(r.features, r.features + n); };
    // White to move, king on e1: no flip. Pawn e2 = 64 + 12; kings 4 and 384 + 60.
    EXPECT_EQ(first(f[0], 4), (std::vector<int16_t>{76, 4, 444, 8193}));
    // Black to move, king on e8 (file e): ranks flipped only.
    EXPECT_EQ(first(f[1], 4), (std::vector<int16_t>{384 + 64 + (12 ^ 56), 384 + (4 ^ 56), 60 ^ 56, 8193}));
    // White king on c1: files flipped. Queen e1 before the kings.
    EXPECT_EQ(first(f[2], 4), (std::vector<int16_t>{320 + (4 ^ 7), 2 ^ 7, 384 + (59 ^ 7), 8193}));
    // Black to move with its king on c8: both flips; the pawn a7 is Black's own.
    EXPECT_EQ(first(f[3], 4), (std::vector<int16_t>{64 + (48 ^ 63), 384 + (4 ^ 63), 58 ^ 63, 8193}));
    for (auto& r : f) EXPECT_EQ(r.features[31], 8193);
    // Targets: 0.25 x result probability + 0.75 x score probability.
    EXPECT_NEAR(f[0].target, 0.25 * score_to_probability(2760) + 0.75 * score_to_probability(80), 1e-6);
    EXPECT_NEAR(f[1].target, 0.25 * score_to_probability(-2763) + 0.75 * score_to_probability(-80), 1e-6);
    EXPECT_NEAR(f[2].target, 0.25 * score_to_probability(2760) + 0.75 * score_to_probability(900), 1e-6);
}

TEST(TrainingFiles, APartialRecordAtTheEndIsNamedAndTheWholeOnesUsed) {
    TempDir dir;
    write_file(dir.file("t.epd"), kp_white + " ce 100; gr 1.0;\n" + "4k3/8/8/8/8/8/3PP3/4K3 w - - ce 150; gr 1.0;\n");
    run_tool({"-epd2bin", "t.epd"}, dir);
    std::string bytes = read_file(dir.file("t.bin"));
    write_file(dir.file("t.bin"), bytes + "1234567");
    std::vector<std::string> out;
    ASSERT_EQ(run_engine({"-bin2epd", "t.bin"}, {}, out, dir.path()), 0);
    EXPECT_TRUE(contains(out, "read 2 positions from t.bin."));
    EXPECT_TRUE(contains(out, "ignored 7 bytes at the end of t.bin: not a whole record."));
    EXPECT_EQ(file_lines(dir.file("t.epd")).size(), 2u);
    // A record of garbage holds no position and gives no line.
    write_file(dir.file("t.bin"), bytes + std::string(40, '\x77'));
    out = run_tool({"-bin2epd", "t.bin"}, dir);
    EXPECT_TRUE(contains(out, "skipped 1 records that hold no position."));
    EXPECT_EQ(file_lines(dir.file("t.epd")).size(), 2u);
}

TEST(TrainingFiles, TheFilterDropsRepeatedPositions) {
    TempDir dir;
    write_file(dir.file("a.epd"), kp_white + " ce 100; gr 1.0;\n" + "4k3/8/8/8/8/8/4P3/4K3 b - - ce 10; gr 0.5;\n" +
                                      kp_white + " ce 120; gr 1.0;\n" + "4k3/8/8/8/8/8/3PP3/4K3 w - - ce 150; gr 1.0;\n");
    run_tool({"-epd2bin", "a.epd"}, dir);
    std::string bytes = read_file(dir.file("a.bin"));
    write_file(dir.file("a.bin"), bytes + bytes);
    auto out = run_tool({"-filtertraindata", "a.bin"}, dir);
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out[0], "filtering duplicates from a.bin");
    EXPECT_EQ(out[1].size(), 8u) << "a time stamp: " << out[1];
    EXPECT_TRUE(contains(out, "max block count is 1"));
    EXPECT_TRUE(contains(out, "wrote 3 positions to filtered.bin"));
    auto kept = records_of(dir.file("filtered.bin"));
    ASSERT_EQ(kept.size(), 3u);
    // The first of the repeated positions is the one kept; the same board
    // with the other side to move is another position.
    EXPECT_EQ(kept[0].search_score, 100);
    EXPECT_EQ(kept[1].search_score, 10);
    EXPECT_EQ(kept[2].search_score, 150);
}

TEST(TrainingFiles, TheQuietFilterDropsPendingCapturesAndChecks) {
    TempDir dir;
    write_file(dir.file("a.epd"),
               // quiet: nothing to take
               "rnbqkbnr/pppp1ppp/8/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq - ce 10; gr 0.5;\n"
               // White takes the loose queen on d5
               "rnb1kbnr/pppp1ppp/8/3qp3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - ce 900; gr 1.0;\n"
               // Black in check from the rook on d8
               "3Rk3/5ppp/8/8/8/8/5PPP/6K1 b - - ce -50; gr 0.5;\n"
               // the only capture is an even trade of pawns
               "4k3/8/4p3/3p4/4P3/3P4/8/4K3 w - - ce 0; gr 0.5;\n");
    run_tool({"-epd2bin", "a.epd"}, dir);
    auto out = run_tool({"-use_hce", "-quiettraindata", "a.bin"}, dir);
    EXPECT_TRUE(contains(out, "keeping the quiet positions of a.bin"));
    EXPECT_TRUE(contains(out, "wrote 2 of 4 positions to quiet.bin"));
    auto kept = records_of(dir.file("quiet.bin"));
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0].search_score, 10);
    EXPECT_EQ(kept[1].search_score, 0);
    // A name without ".bin" writes nothing.
    std::remove(dir.file("quiet.bin").c_str());
    run_tool({"-use_hce", "-quiettraindata", "a.epd"}, dir);
    EXPECT_TRUE(read_file(dir.file("quiet.bin")).empty());
}

TEST(TrainingFiles, MaterialHistogramAndCorrectionTable) {
    TempDir dir;
    // Usable records need a piece besides the king on each side.
    write_file(dir.file("s.epd"), "4k3/7p/8/8/8/8/4P3/4K3 w - - ce 100; gr 0.5;\n"
                                  "4k3/7p/8/8/8/8/8/RN2K3 w - - ce 700; gr 1.0;\n"
                                  "3qk3/8/8/8/8/8/8/RN2K3 w - - ce 0; gr 0.5;\n"
                                  "4k3/8/8/8/8/8/4P3/4K3 w - - ce 300; gr 1.0;\n"      // Black has only a king
                                  "4k3/7p/8/8/8/8/8/RN2K3 w - - ce -270; gr 1.0;\n");  // score and result disagree
    run_tool({"-epd2bin", "s.epd"}, dir);
    auto out = run_tool({"-tdstats", "s.bin"}, dir);
    ASSERT_EQ(out.size(), 80u);
    EXPECT_EQ(out[0], " 0.         1");
    EXPECT_EQ(out[8], " 8.         1");
    EXPECT_EQ(out[17], "17.         1");
    EXPECT_EQ(out[79], "79.         0");
    int total = 0;
    for (auto& l : out) total += std::stoi(l.substr(4));
    EXPECT_EQ(total, 3) << "the lone king and the disagreeing record are not counted";

    out = run_tool({"-gencorrhist", "s.bin"}, dir);
    ASSERT_EQ(out.size(), 1u);
    int numbers = 0;
    for (size_t at = 0; (at = out[0].find(", ", at)) != std::string::npos; at += 2) numbers++;
    EXPECT_EQ(numbers, 200);
    // The fixed default names still hold when no path is given.
    out = run_tool({"-tdstats"}, dir);
    EXPECT_TRUE(out.empty() || out.back().find("can't open") != std::string::npos);
}

TEST(TrainingFiles, RescoringWritesQuietPositionsAndEchoesBadLines) {
    TempDir dir;
    write_file(dir.file("in.epd"), "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - ce 30; gr 0.5;\n"
                                   "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - c0 \"none\";\n"
                                   "not a position at all\n"
                                   "# comment\n");
    auto out = run_tool({"-use_hce", "-d", "3", "-o", "out.epd", "-scoretraindata", "in.epd"}, dir);
    EXPECT_TRUE(contains(out, "not a position at all"));
    auto lines = file_lines(dir.file("out.epd"));
    ASSERT_LE(lines.size(), 2u);
    for (auto& l : lines) {
        bool with_gr = l.find(" ce ") != std::string::npos;
        EXPECT_NE(l.find(with_gr ? "; sc " : " sc "), std::string::npos) << l;
        if (with_gr) {
            EXPECT_NE(l.find("; gr 0.5;"), std::string::npos) << l;
        }
    }
}
