// Building books from PGN text: which moves are kept and how they are
// weighed, what the reader skips, and the -mkbook tool end to end.
#include <gtest/gtest.h>
#include <dirent.h>
#include <algorithm>
#include <map>
#include "book/book_build.h"
#include "book/book_probe.h"
#include "book_support.h"
#include "../shell/engine_process.h"

namespace {

std::string repeat(const std::string& game, int n) {
    std::string out;
    for (int i = 0; i < n; i++) out += game;
    return out;
}

std::string game(const char* result, const std::string& moves, const std::string& extra_tags = "") {
    return "[Event \"t\"]\n" + extra_tags + "[Result \"" + result + "\"]\n\n" + moves + " " + result + "\n\n";
}

struct Built {
    TempDir dir;
    BookBuildTotals totals{};
    int status = 0;
    std::vector<RawEntry> book;
    std::string out;
    explicit Built(const std::string& pgn) {
        init_engine_tables();
        std::ofstream(dir.file("in.pgn")) << pgn;
        testing::internal::CaptureStdout();
        status = build_book_file(dir.file("in.pgn").c_str(), dir.file("out.bin").c_str(), totals);
        out = testing::internal::GetCapturedStdout();
        book = read_book(dir.file("out.bin"));
    }
    // The stored weight of a move after the given moves from the start,
    // -1 when it is not in the book.
    int weight(const std::string& before, const char* move) {
        TestBoard b(start_fen);
        EXPECT_TRUE(play_moves(b, before));
        for (auto& e : entries_of(book, polyglot_key(b.pos())))
            if (e.move == book_code(move)) return e.weight;
        return -1;
    }
};

}  // namespace

TEST(BookBuild, KeptMovesAndTheirWeights) {
    std::string pgn = repeat(game("1/2-1/2", "1. e4 e5"), 5)   // 5 draws: kept with weight 5
                      + repeat(game("1-0", "1. d4 d5"), 2)    // 2 wins, 2 losses each: dropped
                      + repeat(game("0-1", "1. d4 d5"), 2)
                      + repeat(game("1/2-1/2", "1. c4 c5"), 5) // c4: 5 draws and 4 losses, score -3
                      + repeat(game("0-1", "1. c4 e5"), 4)
                      + repeat(game("1-0", "1. Nf3 d5"), 6);  // 6 wins: 24; d5 lost 6 times
    Built b(pgn);
    ASSERT_EQ(b.status, 0);
    EXPECT_EQ(b.totals.games, 24);
    EXPECT_EQ(b.weight("", "e2e4"), 5);
    EXPECT_EQ(b.weight("e2e4", "e7e5"), 5);
    EXPECT_EQ(b.weight("", "d2d4"), -1);
    EXPECT_EQ(b.weight("d2d4", "d7d5"), -1);
    EXPECT_EQ(b.weight("", "c2c4"), 0);
    EXPECT_EQ(b.weight("c2c4", "c7c5"), 5);
    EXPECT_EQ(b.weight("c2c4", "e7e5"), -1);
    EXPECT_EQ(b.weight("", "g1f3"), 24);
    EXPECT_EQ(b.weight("g1f3", "d7d5"), -1);
    // Distinct (position, move) pairs: e4 e5 d4 d5 c4 c5 e5 Nf3 d5.
    EXPECT_EQ(b.totals.nodes, 9);
    EXPECT_EQ(b.totals.written, int(b.book.size()));
    EXPECT_EQ(b.totals.written, 5);
    // In key order, and within a key the heavier moves first.
    for (size_t i = 1; i < b.book.size(); i++) {
        ASSERT_LE(b.book[i - 1].key, b.book[i].key);
        if (b.book[i - 1].key == b.book[i].key) {
            EXPECT_GE(b.book[i - 1].weight, b.book[i].weight);
        }
        EXPECT_EQ(b.book[i].learn, 0u);
    }
    TestBoard start(start_fen);
    auto first = entries_of(b.book, polyglot_key(start.pos()));
    ASSERT_EQ(first.size(), 3u);
    EXPECT_EQ(first[0].move, book_code("g1f3"));
    EXPECT_EQ(first[2].move, book_code("c2c4"));
    EXPECT_NE(b.out.find("ngames= 24, nmoves= 9\nbook contains 5 moves\ndone\n"), std::string::npos) << b.out;
}

TEST(BookBuild, HugeCountsAreScaledIntoSixteenBits) {
    Built b(repeat(game("1-0", "1. e4"), 16000) + repeat(game("1-0", "1. d4"), 8000));
    EXPECT_EQ(b.weight("", "e2e4"), 60000);  // score 64000
    EXPECT_EQ(b.weight("", "d2d4"), 30000);  // 32000 scaled alike
    EXPECT_NE(b.out.find(std::string(23, '.')), std::string::npos);  // a dot for every 1024 games
}

TEST(BookBuild, GamesThatCannotBeUsedAddNothing) {
    std::string pgn = repeat("[Event \"no result\"]\n\n1. e4 e5\n\n", 5) + repeat(game("*", "1. e4 e5"), 5) +
                      repeat(game("1-0", "1. e4 e5", "[FEN \"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1\"]\n"), 5) +
                      // The FEN tag may come before the result too.
                      repeat("[FEN \"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1\"]\n[Result \"1-0\"]\n\n1. e4 e5 1-0\n\n", 5);
    Built b(pgn);
    EXPECT_EQ(b.totals.games, 15);
    EXPECT_EQ(b.totals.nodes, 0);
    EXPECT_TRUE(b.book.empty());
    // A game without a result after a usable one is not read as more of it.
    Built c(repeat(game("1/2-1/2", "1. e4 e5") + "[Event \"no result\"]\n\n1. e4 e5 2. Nf3\n\n", 5));
    EXPECT_EQ(c.weight("", "e2e4"), 5);
    EXPECT_EQ(c.totals.nodes, 2);
}

TEST(BookBuild, CastlingInEitherSpellingIsTheKingTakingItsRook) {
    std::string opening = "1. e4 e5 2. Nf3 Nf6 3. Bc4 Bc5 4. ";
    Built b(repeat(game("1/2-1/2", opening + "O-O O-O"), 3) + repeat(game("1/2-1/2", opening + "0-0 0-0"), 2));
    EXPECT_EQ(b.totals.nodes, 8);
    EXPECT_EQ(b.weight("e2e4 e7e5 g1f3 g8f6 f1c4 f8c5", "e1h1"), 5);
    EXPECT_EQ(b.weight("e2e4 e7e5 g1f3 g8f6 f1c4 f8c5 e1g1", "e8h8"), 5);
    // Long castling too.
    Built q(repeat(game("1-0", "1. d4 d5 2. Nc3 Nc6 3. Bf4 Bf5 4. Qd2 Qd7 5. O-O-O 0-0-0"), 5));
    EXPECT_EQ(q.weight("d2d4 d7d5 b1c3 b8c6 c1f4 c8f5 d1d2 d8d7", "e1a1"), 20);
    EXPECT_EQ(q.weight("d2d4 d7d5 b1c3 b8c6 c1f4 c8f5 d1d2 d8d7 e1c1", "e8a8"), -1);  // lost 5 times
}

TEST(BookBuild, CommentsVariationsAndAnnotationsAreSkipped) {
    std::string moves =
        "1. e4 {a comment naming Nf3 and d4} e5 (1... c5 2. Nf3 (2. c3 d5) d6) 2. Nf3 $1 Nc6!?\n"
        "{a comment that runs\n over two lines with h4 in it} 3. Bb5 a6 ; Nf3 here is a line comment\n"
        "4. Ba4+ Nf6 5. Qxf7#";
    Built b(repeat(game("1/2-1/2", moves), 5));
    EXPECT_EQ(b.weight("", "e2e4"), 5);
    EXPECT_EQ(b.weight("e2e4", "e7e5"), 5);
    EXPECT_EQ(b.weight("e2e4", "c7c5"), -1);
    EXPECT_EQ(b.weight("e2e4 e7e5", "g1f3"), 5);
    EXPECT_EQ(b.weight("e2e4 e7e5 g1f3", "b8c6"), 5);
    EXPECT_EQ(b.weight("e2e4 e7e5 g1f3 b8c6", "f1b5"), 5);
    EXPECT_EQ(b.weight("e2e4 e7e5 g1f3 b8c6 f1b5", "a7a6"), 5);
    EXPECT_EQ(b.weight("e2e4 e7e5 g1f3 b8c6 f1b5 a7a6", "b5a4"), 5);
    EXPECT_EQ(b.weight("e2e4 e7e5 g1f3 b8c6 f1b5 a7a6 b5a4", "g8f6"), 5);
    // Qxf7 is no legal move here: it ends that line, and nothing else
    // (no h4, no Nf3 from a comment) came in.
    EXPECT_EQ(b.totals.nodes, 8);
}

TEST(BookBuild, MoveNumbersGluedToMovesAndTheFirst36PliesOnly) {
    // 40 plies of knight moves there and back, numbers written without a blank.
    std::string moves;
    for (int i = 1; i <= 20; i += 2)
        moves += std::to_string(i) + ".Nf3 Nf6 " + std::to_string(i + 1) + ".Ng1 Ng8 ";
    Built b(repeat(game("1/2-1/2", moves), 5));
    // The moves repeat every four plies: four distinct pairs in 36 plies.
    EXPECT_EQ(b.totals.nodes, 4);
    EXPECT_EQ(b.weight("", "g1f3"), 5 * 9);  // played at plies 0, 4, ..., 32: nine times a game
    EXPECT_EQ(b.weight("g1f3 g8f6 f3g1", "f6g8"), 5 * 9);
    Built c(repeat(game("1/2-1/2", "1.e4 e5 2.Nf3 Nc6 3...Bb4"), 5));
    EXPECT_EQ(c.weight("e2e4 e7e5", "g1f3"), 5);
    EXPECT_EQ(c.totals.nodes, 4);
}

TEST(BookBuild, MissingInputWritesNothing) {
    init_engine_tables();
    TempDir dir;
    BookBuildTotals t{};
    testing::internal::CaptureStdout();
    EXPECT_EQ(build_book_file(dir.file("missing.pgn").c_str(), dir.file("out.bin").c_str(), t), -1);
    EXPECT_EQ(build_book_file(dir.path().c_str(), dir.file("out.bin").c_str(), t), 0);  // a directory reads as empty
    EXPECT_EQ(build_book_file(data_path("pgn/molinari-bordais-1979.pgn").c_str(),
                              dir.file("no/such/dir/out.bin").c_str(), t), 0);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(t.games, 1);
    EXPECT_EQ(t.written, 0);
    EXPECT_NE(out.find("book contains 0 moves"), std::string::npos);
    EXPECT_FALSE(std::ifstream(dir.file("no/such/dir/out.bin")).good());
}

TEST(BookBuild, MkbookWithoutItsInputDoesNothing) {
    TempDir dir;
    std::vector<std::string> out;
    EXPECT_EQ(run_engine({"-mkbook", "missing.pgn"}, {"isready"}, out, dir.path()), 0);
    for (auto& l : without_startup(out)) {
        EXPECT_NE(l, "readyok");  // the tool ran instead of the protocol
        EXPECT_EQ(l.find("Creating file"), std::string::npos);
    }
    EXPECT_FALSE(std::ifstream(dir.file("tmp_book.bin")).good());
}

namespace {

// All shared PGN files, each game five times, so that the moves of the
// winners (and both sides of drawn games) pass the filter.
std::string shared_games() {
    std::string all;
    DIR* d = opendir(data_path("pgn").c_str());
    std::vector<std::string> names;
    while (dirent* e = d ? readdir(d) : nullptr)
        if (std::string(e->d_name).size() > 4 && std::string(e->d_name).find(".pgn") != std::string::npos)
            names.push_back(e->d_name);
    if (d) closedir(d);
    std::sort(names.begin(), names.end());
    for (auto& n : names) {
        std::ifstream f(data_path("pgn/" + n));
        std::stringstream s;
        s << f.rdbuf();
        all += s.str() + "\n";
    }
    return repeat(all, 5);
}

}  // namespace

// The real executable builds tmp_book.bin in its working directory; the
// book answers the start position with a first move of a game that was
// won or drawn by the side that played it, through book_probe and
// through a protocol session.
TEST(BookBuild, MkbookBuildsABookThatAnswers) {
    TempDir dir;
    std::ofstream(dir.file("games.pgn")) << shared_games();
    std::vector<std::string> out;
    ASSERT_EQ(run_engine({"-mkbook", "games.pgn"}, {}, out, dir.path()), 0);
    auto has = [&](const std::string& line) { return std::find(out.begin(), out.end(), line) != out.end(); };
    EXPECT_TRUE(has(" Creating file tmp_book.bin from games in games.pgn"));
    EXPECT_TRUE(has("writing book file ..."));
    // 17 games with a result tag in the files, read five times.
    EXPECT_TRUE(std::any_of(out.begin(), out.end(), [](auto& l) { return starts_with(l, "ngames= 85, nmoves= "); }));
    EXPECT_TRUE(has("done"));
    std::vector<RawEntry> book = read_book(dir.file("tmp_book.bin"));
    ASSERT_FALSE(book.empty());
    EXPECT_TRUE(has("book contains " + std::to_string(book.size()) + " moves"));

    // First moves of the standard games (the Chess960 games have a FEN, the
    // BOM file's games no result): 1.e4 won 2, drew 2 and lost 2 games,
    // 1.d4 won 1, 1.Nf3 won 1 and drew 2, 1.d3 drew 1 - all kept.
    TestBoard start(start_fen);
    std::map<uint16_t, int> firsts;
    for (auto& e : entries_of(book, polyglot_key(start.pos()))) firsts[e.move] = e.weight;
    std::map<uint16_t, int> want = {{book_code("e2e4"), 10 + 4 * 10 - 2 * 10},
                                    {book_code("d2d4"), 4 * 5},
                                    {book_code("g1f3"), 10 + 4 * 5},
                                    {book_code("d2d3"), 5}};
    EXPECT_EQ(firsts, want);

    SettingsGuard guard;
    for (int i = 0; i < 20; i++) {
        Move m = book_probe(start.pos(), dir.file("tmp_book.bin").c_str(), settings.book_variety);
        if (!m) continue;
        EXPECT_TRUE(firsts.count(move_to_book_move(m))) << m;
    }

    EngineProcess e({}, dir.path());
    e.send("setoption name OwnBook_File value tmp_book.bin");
    e.send("position startpos");
    e.send("go wtime 30000 btime 30000");
    auto line = e.wait_for_prefix("bestmove");
    ASSERT_TRUE(line);
    std::string move = line->substr(9);
    EXPECT_EQ(std::count(e.lines().begin(), e.lines().end(), "info string book move is " + move), 1) << move;
    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
}
