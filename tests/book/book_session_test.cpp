// The books in protocol sessions with the real executable: the book line
// and a bestmove without ponder move, the second book, the depth limits,
// the draw test on the book move, and searches when no book applies.
#include <gtest/gtest.h>
#include <algorithm>
#include <set>
#include "book_support.h"
#include "../shell/engine_process.h"

namespace {

struct Answer {
    std::string bestmove;
    std::vector<std::string> lines;  // everything printed for this go
    bool has(const std::string& l) const { return std::find(lines.begin(), lines.end(), l) != lines.end(); }
    bool any_starting(const std::string& p) const {
        return std::any_of(lines.begin(), lines.end(), [&](auto& l) { return starts_with(l, p); });
    }
};

Answer go(EngineProcess& e, const std::string& position, const std::string& go_args = "wtime 30000 btime 30000") {
    size_t from = e.lines().size();
    e.send(position);
    e.send("go " + go_args);
    Answer a;
    auto line = e.wait_for_prefix("bestmove", 60);
    a.lines.assign(e.lines().begin() + long(from), e.lines().end());
    if (line) a.bestmove = line->substr(9);
    return a;
}

std::string text_of(uint16_t book_move) {
    static const char* promo = " nbrq";
    int from = (book_move >> 6) & 63, to = book_move & 63, p = (book_move >> 12) & 7;
    std::string s = {char('a' + (from & 7)), char('1' + (from >> 3)), char('a' + (to & 7)), char('1' + (to >> 3))};
    if (p) s += promo[p];
    return s;
}

}  // namespace

TEST(BookSession, StartPositionIsAnsweredFromTheBook) {
    std::string book = data_path("books/performance.bin");
    TestBoard start(start_fen);
    std::set<std::string> stored;
    for (auto& e : entries_of(read_book(book), polyglot_key(start.pos())))
        if (e.weight) stored.insert(text_of(e.move));
    ASSERT_FALSE(stored.empty());

    EngineProcess e;
    ASSERT_TRUE(e.skip_startup());
    e.send("uci");
    e.send("setoption name OwnBook value true");
    e.send("setoption name OwnBook_File value " + book);
    Answer a = go(e, "position startpos");
    EXPECT_TRUE(stored.count(a.bestmove)) << a.bestmove;  // also: no " ponder ..." after the move
    EXPECT_TRUE(a.any_starting("info string ( book moves are: "));
    auto announced = std::find(a.lines.begin(), a.lines.end(), "info string book move is " + a.bestmove);
    ASSERT_NE(announced, a.lines.end());
    EXPECT_EQ(announced + 1, a.lines.end() - 1) << "the book line comes right before the bestmove";
    EXPECT_FALSE(a.any_starting("info depth"));  // no search ran

    // Castling from the book is sent in the protocol's own text.
    Answer c = go(e, "position startpos moves e2e4 e7e5 g1f3 b8c6 f1b5 a7a6 b5a4 g8f6");
    EXPECT_EQ(c.bestmove, "e1g1");
    EXPECT_TRUE(c.has("info string book move is e1g1"));

    e.send("setoption name OwnBook value false");
    Answer off = go(e, "position startpos", "depth 2");
    EXPECT_FALSE(off.bestmove.empty());
    EXPECT_FALSE(off.any_starting("info string ( book moves"));
    EXPECT_FALSE(off.any_starting("info string book move"));
    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
}

TEST(BookSession, SecondBookAndTheDepthLimits) {
    EngineProcess e;
    ASSERT_TRUE(e.skip_startup());
    e.send("uci");
    e.send("setoption name OwnBook_File value " + data_path("books/performance.bin"));
    e.send("setoption name OwnBook_Depth value 2");
    Answer one = go(e, "position startpos moves e2e4", "depth 2");
    EXPECT_TRUE(one.any_starting("info string book move is ")) << "ply 1 is below the depth of 2";
    Answer two = go(e, "position startpos moves e2e4 e7e5", "depth 2");
    EXPECT_FALSE(two.any_starting("info string ( book")) << "ply 2 is not";

    // The first book has nothing for the Lasker trap's last move, the
    // second has the knight promotion.
    const std::string trap = "position startpos moves d2d4 d7d5 c2c4 e7e5 d4e5 d5d4 e2e3 f8b4 c1d2 d4e3 d2b4 e3f2 e1e2";
    e.send("setoption name OwnBook_Depth value 60");
    e.send("setoption name OwnBook2_File value " + data_path("books/lasker-trap.bin"));
    Answer no_second = go(e, trap, "depth 2");
    EXPECT_FALSE(no_second.any_starting("info string book move")) << "OwnBook2_Depth is 0 by default";
    e.send("setoption name OwnBook2_Depth value 14");
    Answer second = go(e, trap, "depth 2");
    EXPECT_EQ(second.bestmove, "f2g1n");
    EXPECT_TRUE(second.has("info string book move is f2g1n"));
    e.send("setoption name OwnBook2_Depth value 13");  // 13 plies played: no longer below it
    Answer late = go(e, trap, "depth 2");
    EXPECT_FALSE(late.any_starting("info string book move"));
    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
}

// A book move that would repeat the position a third time is dropped and
// the engine searches; another move from the same place is played.
TEST(BookSession, BookMoveIntoARepetitionIsDropped) {
    TempDir dir;
    const std::string moves = "g1f3 g8f6 f3g1 f6g8 g1f3 g8f6 f3g1";
    TestBoard b(start_fen);
    ASSERT_TRUE(play_moves(b, moves));
    uint64_t key = polyglot_key(b.pos());
    write_book(dir.file("rep.bin"), {{key, book_code("f6g8"), 10, 0}});
    write_book(dir.file("fresh.bin"), {{key, book_code("b8c6"), 10, 0}});

    EngineProcess e;
    ASSERT_TRUE(e.skip_startup());
    e.send("uci");
    e.send("setoption name OwnBook_File value " + dir.file("rep.bin"));
    Answer rep = go(e, "position startpos moves " + moves, "depth 3");
    EXPECT_TRUE(rep.any_starting("info string ( book moves are: f6g8"));  // it was found ...
    EXPECT_FALSE(rep.any_starting("info string book move is"));       // ... and dropped
    EXPECT_TRUE(rep.any_starting("info depth"));
    e.send("setoption name OwnBook_File value " + dir.file("fresh.bin"));
    Answer fresh = go(e, "position startpos moves " + moves, "depth 3");
    EXPECT_EQ(fresh.bestmove, "b8c6");
    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
}

TEST(BookSession, PonderingNeverPlaysFromTheBook) {
    EngineProcess e;
    ASSERT_TRUE(e.skip_startup());
    e.send("uci");
    e.send("setoption name OwnBook_File value " + data_path("books/performance.bin"));
    size_t from = e.lines().size();
    e.send("position startpos");
    e.send("go ponder wtime 30000 btime 30000");
    ASSERT_TRUE(e.wait_for_prefix("info depth 2"));
    e.send("stop");
    ASSERT_TRUE(e.wait_for_prefix("bestmove"));
    for (size_t i = from; i < e.lines().size(); i++) EXPECT_FALSE(starts_with(e.lines()[i], "info string ( book"));
    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
}
