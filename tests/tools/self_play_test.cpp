// The self-play generator (-gentraindata) and the openings it starts from.
#include <gtest/gtest.h>
#include <cstring>
#include <memory>
#include <regex>
#include <set>
#include <unistd.h>
#include "../book/book_support.h"
#include "../shell/engine_process.h"
#include "../support/test_position.h"
#include "position/notation.h"
#include "tools/pgn.h"
#include "tools/training_tools.h"
#include "tools_support.h"

namespace {

const std::string shipped_openings = std::string(VORN_SOURCE_DIR) + "/mybook_6mv.epd";

// The games of a PGN text, split at their first tag.
std::vector<std::string> games_of(const std::string& text) {
    std::vector<std::string> games;
    size_t at = 0;
    while ((at = text.find("[Event ", at)) != std::string::npos) {
        size_t next = text.find("[Event ", at + 1);
        games.push_back(text.substr(at, next == std::string::npos ? std::string::npos : next - at));
        at = next == std::string::npos ? text.size() : next;
    }
    return games;
}

// Checks the games of an "autogen.pgn" text: tags, and every move legal
// when read back with our own PGN reader. Returns the games.
std::vector<std::string> check_generated_games(const std::string& file, int games) {
    auto pgn = games_of(read_file(file));
    EXPECT_EQ(int(pgn.size()), games);
    for (auto& text : pgn) {
        EXPECT_NE(text.find("[White \"Vorn\"]\n[Black \"Vorn\"]\n"), std::string::npos);
        EXPECT_TRUE(std::regex_search(text, std::regex("\\[Game \"g_\\d+\"\\]")));
        EXPECT_TRUE(std::regex_search(text, std::regex("\\[Result \"(1-0|0-1|1/2-1/2)\"\\]")));
        // The game reads back with our own PGN reader, move by legal move.
        auto g = std::make_unique<PgnGame>();
        memset(g.get(), 0, sizeof(PgnGame));
        parse_pgn_game(*g, text.c_str());
        EXPECT_GE(g->move_count, 30);
        TestBoard b;
        EXPECT_TRUE(b.set(g->start_fen));
        for (int i = 0; i < g->move_count; i++) {
            char move[32];
            snprintf(move, sizeof move, "%s", g->moves[i]);
            Move mv;
            // Castling is written as the king's move (Kg1); the move reader
            // takes it in its usual form.
            std::string t = g->moves[i];
            int king = b.pos().king_sq[b.pos().side];
            bool castle = (t == "Kg1" || t == "Kc1" || t == "Kg8" || t == "Kc8") && file_of(king) == 4 &&
                          (king == 4 || king == 60);
            if (castle) snprintf(move, sizeof move, "%s", t[1] == 'g' ? "O-O" : "O-O-O");
            if (!parse_move(b.pos(), move, mv)) {
                ADD_FAILURE() << "illegal move " << g->moves[i];
                break;
            }
            make_move(b.pos(), mv);
        }
    }
    return pgn;
}

}  // namespace

TEST(SelfPlayData, GamesBecomePgnAndScoredPositions) {
    TempDir dir;
    write_file(dir.file("few.epd"), "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq -\r\n"
                                    "# not an opening\n"
                                    "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - c0 \"Nc6\";\n");
    std::vector<std::string> out;
    ASSERT_EQ(run_engine({"-use_hce", "-d", "2", "-gentraindata", "gen.epd", "3", "few.epd"}, {}, out, dir.path()), 0);
    ASSERT_FALSE(out.empty());
    EXPECT_TRUE(contains(out, "generating training data"));
    std::smatch m;
    ASSERT_TRUE(std::regex_match(out.back(), m, std::regex("games (\\d+), positions (\\d+), [0-9.]+ positions per second")))
        << out.back();
    int games = std::stoi(m[1]), positions = std::stoi(m[2]);
    EXPECT_LE(games, 3);

    auto lines = file_lines(dir.file("gen.epd"));
    EXPECT_EQ(int(lines.size()), positions);
    for (auto& l : lines) {
        EXPECT_TRUE(std::regex_match(l, std::regex(".+ [wb] [KQkq-]+ [a-h1-8-]+ ce -?\\d+; gr (0\\.0|0\\.5|1\\.0);"))) << l;
        TestBoard b;
        EXPECT_TRUE(b.set(l.substr(0, l.find(" ce ")).c_str())) << l;
    }

    // The positions written are the quiet ones from the ninth ply on: those
    // whose comment carries a depth (a pending capture, a check, or a best
    // move that captures or promotes shows 0).
    int quiet_plies = 0, tactical_moves = 0;
    for (auto& text : check_generated_games(dir.file("autogen.pgn"), games)) {
        std::regex comment("(\\S+) \\{-?[0-9]+\\.[0-9]+/([0-9]+)\\}");
        int ply = 0;
        for (auto it = std::sregex_iterator(text.begin(), text.end(), comment); it != std::sregex_iterator(); ++it, ply++) {
            const std::string move = (*it)[1];
            const bool tactical = move.find_first_of("x=") != std::string::npos;
            tactical_moves += tactical;
            if (std::stoi((*it)[2]) == 0) continue;
            EXPECT_FALSE(tactical) << move << " is written with its depth";
            if (ply >= 8) quiet_plies++;
        }
    }
    EXPECT_EQ(quiet_plies, positions);
    EXPECT_GT(tactical_moves, 0) << "games without a single capture";
}

TEST(SelfPlayData, ARandomMoveRateReplacesThatShareOfTheMoves) {
    TempDir dir;
    write_file(dir.file("mybook_6mv.epd"), read_file(shipped_openings));
    std::vector<std::string> out;
    ASSERT_EQ(run_engine({"-quiet", "-use_hce", "-d", "1", "-genrandom", "1000", "-gentraindata", "gen.epd", "3"}, {},
                         out, dir.path()),
              0);
    std::smatch m;
    ASSERT_FALSE(out.empty());
    ASSERT_TRUE(std::regex_match(out.back(), m, std::regex("games (\\d+), positions (\\d+), .*"))) << out.back();
    auto games = check_generated_games(dir.file("autogen.pgn"), std::stoi(m[1]));
    ASSERT_FALSE(games.empty());
    for (auto& text : games) {
        // The moves played are random ones; a searched comment stays only
        // on a forced move (there is no other) and on the ply that ended
        // the game.
        auto count = [&text](const char* pattern) {
            std::regex r(pattern);
            return std::distance(std::sregex_iterator(text.begin(), text.end(), r), std::sregex_iterator());
        };
        auto random = count("\\{random\\}"), searched = count("\\{-?[0-9]+\\.[0-9]+/[0-9]+\\}");
        EXPECT_GE(random, 29);
        EXPECT_LE(searched * 10, random) << text;
    }
    // The scores are still the searches': every written line is whole.
    for (auto& l : file_lines(dir.file("gen.epd")))
        EXPECT_TRUE(std::regex_match(l, std::regex(".+ ce -?\\d+; gr (0\\.0|0\\.5|1\\.0);"))) << l;
}

TEST(SelfPlayData, TheDefaultOpeningsFileAndAMissingOne) {
    TempDir dir;
    std::vector<std::string> out;
    ASSERT_EQ(run_engine({"-use_hce", "-d", "1", "-gentraindata", "gen.epd", "1"}, {}, out, dir.path()), 0);
    EXPECT_TRUE(contains(out, "can't read openings from mybook_6mv.epd"));
    write_file(dir.file("mybook_6mv.epd"), read_file(shipped_openings));
    out.clear();
    ASSERT_EQ(run_engine({"-use_hce", "-d", "1", "-gentraindata", "gen.epd", "1"}, {}, out, dir.path()), 0);
    EXPECT_TRUE(contains(out, "generating training data"));
    EXPECT_EQ(run_engine({"-gentraindata", "gen.epd", "0"}, {}, out, dir.path()), 1);
}

TEST(SelfPlayData, TheShippedOpeningsAreBalancedPositionsAfterSixMovesEach) {
    auto lines = file_lines(shipped_openings);
    ASSERT_GE(lines.size(), 1000u);
    for (auto& l : lines) {
        TestBoard b;
        ASSERT_TRUE(b.set(l.c_str())) << l;
        EXPECT_EQ(b.pos().side, WHITE) << l;
        EXPECT_FALSE(b.legal_moves().empty()) << l;
    }
    // The engine writes such a file itself.
    TempDir dir;
    std::vector<std::string> out;
    ASSERT_EQ(run_engine({"-quiet", "-use_hce", "-mkopenings", "5", "o.epd"}, {}, out, dir.path()), 0);
    EXPECT_TRUE(contains(out, "wrote 5 openings to o.epd"));
    auto made = file_lines(dir.file("o.epd"));
    ASSERT_EQ(made.size(), 5u);
    for (auto& l : made) {
        TestBoard b;
        EXPECT_TRUE(b.set(l.c_str())) << l;
    }
    // Two generators make their openings side by side, usually within the
    // same second: the files must still differ.
    ASSERT_EQ(run_engine({"-quiet", "-use_hce", "-mkopenings", "5", "p.epd"}, {}, out, dir.path()), 0);
    EXPECT_NE(file_lines(dir.file("p.epd")), made);
}

// Openings grown from a book follow its lines: a book holding only 1. e4 e5
// gives those two moves and then two random plies, White to move again
// (White's e-pawn stays; Black's may only have taken a pawn on d4 or f4).
TEST(SelfPlayData, OpeningsFromABookFollowItsLines) {
    TempDir dir;
    TestBoard b(start_fen);
    uint64_t start = polyglot_key(b.pos());
    ASSERT_TRUE(play_moves(b, "e2e4"));
    write_book(dir.file("e4e5.bin"), {{start, book_code("e2e4"), 5, 0}, {polyglot_key(b.pos()), book_code("e7e5"), 5, 0}});
    std::vector<std::string> out;
    ASSERT_EQ(run_engine({"-quiet", "-use_hce", "-mkopenings", "20", "o.epd", "e4e5.bin"}, {}, out, dir.path()), 0);
    auto made = file_lines(dir.file("o.epd"));
    ASSERT_EQ(made.size(), 20u);
    std::set<std::string> distinct(made.begin(), made.end());
    EXPECT_GT(distinct.size(), 1u);
    for (auto& l : made) {
        TestBoard o;
        ASSERT_TRUE(o.set(l.c_str())) << l;
        EXPECT_EQ(o.pos().side, WHITE) << l;
        EXPECT_TRUE(o.pos().bb[make_piece(WHITE, PAWN)] >> sq("e4") & 1) << l;
        EXPECT_TRUE(o.pos().bb[make_piece(BLACK, PAWN)] & (bit(sq("e5")) | bit(sq("d4")) | bit(sq("f4")))) << l;
    }
    // A book without the start position makes nothing.
    write_book(dir.file("other.bin"), {{start ^ 1, book_code("e2e4"), 5, 0}});
    ASSERT_EQ(run_engine({"-quiet", "-use_hce", "-mkopenings", "5", "p.epd", "other.bin"}, {}, out, dir.path()), 0);
    EXPECT_TRUE(contains(out, "no start position in book other.bin"));
    EXPECT_TRUE(file_lines(dir.file("p.epd")).empty());
}

TEST(SelfPlayData, ATerminationSignalEndsTheRunWithItsTotals) {
    TempDir dir;
    write_file(dir.file("mybook_6mv.epd"), read_file(shipped_openings));
    EngineProcess e({"-quiet", "-use_hce", "-d", "3", "-gentraindata", "gen.epd", "100000000"}, dir.path());
    ASSERT_TRUE(e.wait_for_prefix("generating training data"));
    usleep(300000);
    e.terminate();
    auto last = e.wait_for_prefix("games ", 20);
    ASSERT_TRUE(last.has_value());
    EXPECT_EQ(e.wait_exit(20), 0);
    // Every line written is whole.
    for (auto& l : file_lines(dir.file("gen.epd"))) EXPECT_NE(l.find(" ce "), std::string::npos) << l;
}

TEST(SelfPlayData, TacticalMovesAreCapturesAndPromotions) {
    auto tactical = [](const char* fen, const char* text) {
        TestBoard b(fen);
        char t[16];
        snprintf(t, sizeof t, "%s", text);
        Move m;
        EXPECT_TRUE(parse_move(b.pos(), t, m)) << text;
        return tactical_move(b.pos(), m);
    };
    const char* kiwipete = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";
    EXPECT_TRUE(tactical(kiwipete, "e2a6"));   // a bishop takes
    EXPECT_TRUE(tactical(kiwipete, "d5e6"));   // a pawn takes
    EXPECT_FALSE(tactical(kiwipete, "d5d6"));  // a pawn push
    EXPECT_FALSE(tactical(kiwipete, "e1g1"));  // castling
    EXPECT_FALSE(tactical(kiwipete, "c3b1"));  // a retreat
    EXPECT_TRUE(tactical("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", "e5d6"));  // en passant
    EXPECT_TRUE(tactical("4k3/1P6/8/8/8/8/8/4K3 w - - 0 1", "b7b8q"));   // promotion
    EXPECT_TRUE(tactical("4k3/1P6/8/8/8/8/8/4K3 w - - 0 1", "b7b8n"));   // under-promotion
    // Chess960 castling, the king beside its rook: written as king takes rook.
    EXPECT_FALSE(tactical("1r4kr/8/8/8/8/8/8/1R4KR w HBhb - 0 1", "g1h1"));
}
