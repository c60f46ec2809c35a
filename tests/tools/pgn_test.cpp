// PGN tokens and games: every shared PGN file replayed move by move, the
// comment scores, the tags that matter, and the tools built on them.
#include <gtest/gtest.h>
#include <dirent.h>
#include <cstdio>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include "position/notation.h"
#include "tools/pgn.h"
#include "tools/pgn_tools.h"
#include "../shell/engine_process.h"
#include "../support/board_text.h"
#include "../support/test_position.h"

namespace {

std::string data(const std::string& rel) { return std::string(VORN_DATA_DIR) + "/" + rel; }

std::string file_text(const std::string& path) {
    std::ifstream f(path);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

std::vector<std::string> tokens(const char* text) {
    std::vector<std::string> out;
    PgnToken t;
    for (const char* s = text; (s = next_pgn_token(s, t)) != nullptr;) out.emplace_back(t.start, size_t(t.length));
    return out;
}

std::unique_ptr<PgnGame> parse(const std::string& text) {
    auto g = std::make_unique<PgnGame>();
    memset(g.get(), 0, sizeof(PgnGame));
    parse_pgn_game(*g, text.c_str());
    return g;
}

// Games of a file, split at every Event tag.
std::vector<std::string> games_of(const std::string& path) {
    std::vector<std::string> games;
    std::istringstream in(file_text(path));
    std::string line;
    while (std::getline(in, line)) {
        if (line.find("[Event ") != std::string::npos || games.empty()) games.emplace_back();
        games.back() += line + "\n";
    }
    return games;
}

std::string tag_value(const std::string& game, const std::string& name) {
    std::smatch m;
    if (std::regex_search(game, m, std::regex("\\[" + name + " \"([^\"]*)\"\\]"))) return m[1];
    return "";
}

// Replays the record's moves; the number that read as legal moves.
int replay(const PgnGame& g, TestBoard& b) {
    EXPECT_TRUE(b.set(g.start_fen[0] ? g.start_fen : start_fen));
    for (int i = 0; i < g.move_count; i++) {
        char text[32];
        snprintf(text, sizeof text, "%s", g.moves[i]);
        Move m;
        if (!parse_move(b.pos(), text, m)) return i;
        make_move(b.pos(), m);
    }
    return g.move_count;
}

}  // namespace

TEST(PgnTokens, BracketsQuotesAndWords) {
    auto t = tokens("  [Event \"A ] B\"] {a (b) c} (1. e4 {x ) y} (1. d4) e5)\n\"quoted\"  1.e4 e5{c} $14 1-0");
    std::vector<std::string> want = {"[Event \"A ] B\"]", "{a (b) c}", "(1. e4 {x ) y} (1. d4) e5)", "\"quoted\"",
                                     "1.e4", "e5", "{c}", "$14", "1-0"};
    EXPECT_EQ(t, want);
    EXPECT_EQ(tokens("{never closed"), std::vector<std::string>{"{never closed"});
    EXPECT_EQ(tokens("\"open quote"), std::vector<std::string>{"\"open quote"});
    EXPECT_TRUE(tokens(" \n\t ").empty());
}

// Every game of every shared file: the moves read, and all of them replay
// as legal moves (the one null move "Z0" of the ChessBase game excepted).
TEST(PgnGames, EverySharedFileReplays) {
    DIR* d = opendir(data("pgn").c_str());
    ASSERT_TRUE(d);
    std::vector<std::string> names;
    while (dirent* e = readdir(d))
        if (std::string(e->d_name).find(".pgn") != std::string::npos) names.push_back(e->d_name);
    closedir(d);
    ASSERT_EQ(names.size(), 8u);
    int games = 0;
    for (auto& name : names) {
        for (auto& text : games_of(data("pgn/" + name))) {
            auto g = parse(text);
            games++;
            std::string result = tag_value(text, "Result");
            EXPECT_EQ(g->result, result == "1-0" ? 1 : result == "0-1" ? -1 : 0) << name;
            EXPECT_EQ(std::string(g->start_fen), tag_value(text, "FEN")) << name;
            std::string plies = tag_value(text, "PlyCount");
            if (!plies.empty()) {
                EXPECT_EQ(g->move_count, std::stoi(plies)) << name;
            }
            TestBoard b;
            int played = replay(*g, b);
            if (name == "anastasian-lewis.pgn") {
                EXPECT_EQ(played, 81);  // 41. Bxf3 is move 80, Black's null move the next
                EXPECT_STREQ(g->moves[81], "Z0");
            } else {
                EXPECT_EQ(played, g->move_count) << name << " stops at " << g->moves[played];
            }
        }
    }
    EXPECT_EQ(games, 17);
}

TEST(PgnGames, EngineScoresFromCutechessComments) {
    auto games = games_of(data("pgn/cutechess-fischerrandom.pgn"));
    ASSERT_EQ(games.size(), 4u);
    auto g = parse(games[0]);
    EXPECT_EQ(g->result, -1);
    EXPECT_STREQ(g->start_fen, "nbbrknrq/pppppppp/8/8/8/8/PPPPPPPP/NBBRKNRQ w KQkq - 0 1");
    EXPECT_STREQ(g->moves[0], "d4");
    EXPECT_EQ(g->scores[0], 13);
    EXPECT_EQ(g->scores[1], -17);
    EXPECT_EQ(g->scores[2], 22);
    EXPECT_EQ(g->scores[3], -17);
    EXPECT_STREQ(g->moves[17], "O-O");
    EXPECT_EQ(g->scores[17], 20);
    EXPECT_EQ(g->scores[22], 0);  // "0.00/10"
    int last = g->move_count - 1;
    EXPECT_STREQ(g->moves[last], "Rh2");  // "Rh2#" without the mark
    EXPECT_EQ(g->scores[last], PGN_MATE_SCORE);
    EXPECT_EQ(g->scores[last - 1], -PGN_MATE_SCORE);  // "-M2/2"
    EXPECT_EQ(g->game_counter, 1);
    g = parse(games[1]);
    EXPECT_EQ(g->result, 1);
}

TEST(PgnGames, CommentsVariationsNagsAndClocks) {
    auto g = parse(
        "[Event \"x\"] [Result \"1/2-1/2\"] [Annotator \"Vorn eval=-35\"]\n"
        "1. e4 {[%clk 1:59:55]} e5 $1 (1... c5 2. Nf3 (2. c3) d6) 2. Nf3 {0.35/20} Nc6 {book}\n"
        "3. Bb5+ {+M3/10} a6 {-M2/4} 4. Ba4 {  -1.27/18 3s} Nf6 {ok} 5. O-O {-99/1} b5 {-0.29/9}\n"
        "6. Bb3 {x/} Be7 7. c3 0-0 8. h3 {+500/3} 1/2-1/2");
    std::vector<std::string> want = {"e4", "e5", "Nf3", "Nc6", "Bb5", "a6", "Ba4", "Nf6", "O-O",
                                     "b5", "Bb3", "Be7", "c3", "0-0", "h3"};
    ASSERT_EQ(g->move_count, int(want.size()));
    for (size_t i = 0; i < want.size(); i++) EXPECT_EQ(g->moves[i], want[i]);
    EXPECT_EQ(g->result, 0);
    EXPECT_EQ(g->annotator_score, -35);
    int16_t scores[] = {0, 0, 35, 0, PGN_MATE_SCORE, -PGN_MATE_SCORE, -127, 0, -9000, -29, 0, 0, 0, 0, 9000};
    for (size_t i = 0; i < want.size(); i++) EXPECT_EQ(g->scores[i], scores[i]) << want[i];
    TestBoard b;
    EXPECT_EQ(replay(*g, b), g->move_count);
}

TEST(PgnGames, MarksLimitsAndUnfinishedGames) {
    auto g = parse("1. e4 e5 2. Qh5 Nc6 3. Bc4 Nf6 4. Qxf7# 1-0 [Result \"1-0\"]");
    EXPECT_EQ(g->result, 1);
    EXPECT_STREQ(g->moves[6], "Qxf7");
    g = parse("1. e4 d5 2. exd5 c6 3. dxc6 Qd5 4. cxb7 Qe5+ 5. Be2 Qe4 6. bxa8=Q");
    EXPECT_STREQ(g->moves[10], "bxa8Q");
    EXPECT_STREQ(g->moves[7], "Qe5");
    TestBoard b;
    EXPECT_EQ(replay(*g, b), 11);
    // Move texts are cut to seven characters.
    g = parse("Nabcdefghij e4");
    EXPECT_STREQ(g->moves[0], "Nabcdef");
    // Games that did not end on the board keep no moves.
    for (const char* end : {"time forfeit", "abandoned", "unterminated"}) {
        g = parse(std::string("[Result \"1-0\"] [Termination \"") + end + "\"] 1. e4 e5 1-0");
        EXPECT_EQ(g->move_count, 0) << end;
    }
    g = parse("[Termination \"normal\"] 1. e4 e5");
    EXPECT_EQ(g->move_count, 2);
    // At most 591 moves.
    std::string many;
    for (int i = 0; i < 700; i++) many += "Nf3 ";
    g = parse(many);
    EXPECT_EQ(g->move_count, PGN_MAX_MOVES);
    // The counter counts every game parsed into the record.
    PgnGame record;
    memset(&record, 0, sizeof record);
    parse_pgn_game(record, "1. e4");
    parse_pgn_game(record, "[FEN \"8/8/8/8/8/8/8/K1k5 w - - 0 1\"]");
    EXPECT_EQ(record.game_counter, 2);
    EXPECT_EQ(record.move_count, 0);
    EXPECT_STREQ(record.start_fen, "8/8/8/8/8/8/8/K1k5 w - - 0 1");
}

namespace {

// The first 20 plies of a Ruy Lopez with scores at plies 16 and 17.
const char* const ruy =
    "[Event \"r\"]\n[Result \"%s\"]\n\n1. e4 e5 2. Nf3 Nc6 3. Bb5 a6 4. Ba4 Nf6 5. O-O Be7 6. Re1 b5\n"
    "7. Bb3 d6 8. c3 O-O 9. h3 {%s/12} Nb8 {%s/12} 10. d4 {0.90/12} Nbd7 {-0.80/12} %s\n\n";

std::string ruy_game(const char* result, const char* s16, const char* s17) {
    char text[600];
    snprintf(text, sizeof text, ruy, result, s16, s17, result);
    return text;
}

}  // namespace

TEST(PgnScan, QuietScoredPositionsFromPly16WithoutTheLastTwoMoves) {
    init_engine_tables();
    TempDir dir;
    std::ofstream(dir.file("g.pgn")) << ruy_game("1-0", "0.50", "-0.45") << ruy_game("1/2-1/2", "0.10", "-0.20")
                                     << ruy_game("1/2-1/2", "0.60", "-0.20")
                                     << "[Event \"t\"]\n[Termination \"time forfeit\"]\n" + ruy_game("1-0", "1", "1");
    testing::internal::CaptureStdout();
    int games = scan_pgn_file(dir.file("g.pgn").c_str(), dir.file("out.epd").c_str());
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(games, 4);
    EXPECT_NE(out.find("read 4 games\n\n"), std::string::npos);
    std::string before16 = fen_after_moves("e4 e5 Nf3 Nc6 Bb5 a6 Ba4 Nf6 O-O Be7 Re1 b5 Bb3 d6 c3 O-O");
    std::string before17 = fen_after_moves("e4 e5 Nf3 Nc6 Bb5 a6 Ba4 Nf6 O-O Be7 Re1 b5 Bb3 d6 c3 O-O h3");
    // Game 1: both plies; game 2: a level draw, nothing; game 3: the
    // drawn ply 16 with a score of 60 only; game 4: none (time forfeit).
    std::string want = before16 + " ce 50; gr 1.0;\n" + before17 + " ce -45; gr 0.0;\n" + before16 +
                       " ce 60; gr 0.5;\n";
    EXPECT_EQ(file_text(dir.file("out.epd")), want);

    EXPECT_EQ(scan_pgn_file(dir.file("g.txt").c_str(), dir.file("out.epd").c_str()), -1);
    EXPECT_EQ(scan_pgn_file(dir.file("g.pgn").c_str(), dir.file("out.txt").c_str()), -1);
    EXPECT_EQ(scan_pgn_file(dir.file("none.pgn").c_str(), dir.file("out.epd").c_str()), -1);
}

// The tool through the executable, on the files with a byte-order mark,
// an empty line among the tags and Chess960 games with engine scores.
TEST(PgnScan, ScanPgnSwitchReadsTheSharedFiles) {
    struct Case {
        const char* file;
        int games;
    } cases[] = {{"utf8-bom.pgn", 2}, {"chessbase-empty-line.pgn", 1}, {"cutechess-fischerrandom.pgn", 4}};
    for (auto& c : cases) {
        TempDir dir;
        std::vector<std::string> out;
        ASSERT_EQ(run_engine({"-scan_pgn", data(std::string("pgn/") + c.file), "-o", dir.file("o.epd")}, {}, out), 0);
        EXPECT_NE(std::find(out.begin(), out.end(), "read " + std::to_string(c.games) + " games"), out.end())
            << c.file;
        std::istringstream lines(file_text(dir.file("o.epd")));
        std::string l;
        int n = 0;
        while (std::getline(lines, l)) {
            TestBoard b;
            EXPECT_TRUE(b.set(l.c_str())) << l;
            EXPECT_TRUE(std::regex_match(l, std::regex(".* ce -?[0-9]+; gr (0\\.0|0\\.5|1\\.0);"))) << l;
            n++;
        }
        // Without moves nothing is written; the decided games without
        // scores still give their quiet positions.
        if (c.games == 2) EXPECT_EQ(n, 0) << c.file;
        else EXPECT_GT(n, 50) << c.file;
    }
}
