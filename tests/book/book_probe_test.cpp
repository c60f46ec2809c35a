// Probing: the real books from several positions, castling entries, the
// weighting and pick, and files that hold nothing usable.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <algorithm>
#include <cstdlib>
#include <set>
#include "book/book_probe.h"
#include "book_support.h"
#include "../shell/engine_process.h"

namespace {

const char* const books[] = {"books/performance.bin", "books/lasker-trap.bin", "books/gnuchess-book.bin"};

// Positions reached from the start by these moves; the lasker-trap book
// only knows its own line, the others know all of them.
const char* const lines[] = {
    "",
    "e2e4",
    "e2e4 e7e5 g1f3 b8c6 f1b5 a7a6 b5a4 g8f6",
    "e2e4 e7e5 g1f3 b8c6 f1b5 a7a6 b5a4 g8f6 e1g1 f8e7 f1e1 b7b5 a4b3 d7d6 c2c3",
    "d2d4 d7d5 c2c4 e7e5 d4e5 d5d4 e2e3 f8b4 c1d2",
};

}  // namespace

// Every move a probe returns is legal and one of the entries of weight
// above 0 that the file itself holds for the position.
TEST(BookProbe, RealBooksAnswerWithTheirOwnLegalEntries) {
    SettingsGuard guard;
    srand(12345);
    for (const char* name : books) {
        int answered = 0;
        std::string path = data_path(name);
        std::vector<RawEntry> book = read_book(path);
        ASSERT_FALSE(book.empty()) << path;
        EXPECT_TRUE(std::is_sorted(book.begin(), book.end(),
                                   [](const RawEntry& a, const RawEntry& b) { return a.key < b.key; }));
        for (const char* moves : lines) {
            TestBoard b(start_fen);
            ASSERT_TRUE(play_moves(b, moves));
            std::vector<RawEntry> own = entries_of(book, polyglot_key(b.pos()));
            std::set<Move> allowed;
            for (auto& e : own)
                if (e.weight) allowed.insert(book_move_to_move(e.move));
            std::vector<Move> legal = b.legal_moves();
            std::set<Move> seen;
            for (int i = 0; i < 40; i++) {
                Move m = book_probe(b.pos(), path.c_str(), settings.book_variety);
                if (allowed.empty()) {
                    EXPECT_EQ(m, 0) << name << " after '" << moves << "'";
                    continue;
                }
                ASSERT_NE(m, 0) << name << " after '" << moves << "'";
                EXPECT_TRUE(allowed.count(m)) << name << " after '" << moves << "': " << m;
                EXPECT_NE(std::find(legal.begin(), legal.end(), m), legal.end());
                seen.insert(m);
            }
            answered += !allowed.empty();
            // With the default variety, a book with several moves does not
            // always give the same one.
            if (allowed.size() > 1 && moves[0] == 0) {
                EXPECT_GT(seen.size(), 1u) << name;
            }
        }
        EXPECT_GT(answered, 0) << name << " knows none of the positions";
    }
}

TEST(BookProbe, CastlingEntriesBecomeCastlingMoves) {
    SettingsGuard guard;
    std::string path = data_path("books/performance.bin");
    std::vector<RawEntry> book = read_book(path);
    struct Case {
        const char* moves;
        const char* stored;
        Move want;
    } cases[] = {
        {lines[2], "e1h1", make_move_value(sq("e1"), sq("g1"), FLAG_KS)},
        {lines[3], "e8h8", make_move_value(sq("e8"), sq("g8"), FLAG_KS)},
    };
    for (auto& c : cases) {
        TestBoard b(start_fen);
        ASSERT_TRUE(play_moves(b, c.moves));
        std::vector<RawEntry> own = entries_of(book, polyglot_key(b.pos()));
        ASSERT_EQ(own.size(), 1u) << "the book's only move here is castling";
        EXPECT_EQ(own[0].move, book_code(c.stored));
        EXPECT_EQ(book_probe(b.pos(), path.c_str(), settings.book_variety), c.want);
        std::vector<Move> legal = b.legal_moves();
        EXPECT_NE(std::find(legal.begin(), legal.end(), c.want), legal.end());
    }
}

TEST(BookProbe, LaskerTrapUnderpromotionToAKnight) {
    SettingsGuard guard;
    TestBoard b(start_fen);
    ASSERT_TRUE(play_moves(b, "d2d4 d7d5 c2c4 e7e5 d4e5 d5d4 e2e3 f8b4 c1d2 d4e3 d2b4 e3f2 e1e2"));
    EXPECT_EQ(book_probe(b.pos(), data_path("books/lasker-trap.bin").c_str(), settings.book_variety),
              make_move_value(sq("f2"), sq("g1"), PROMO_N));
}

TEST(BookProbe, SharesAndPickFollowTheVariety) {
    BookEntry e[3] = {{1, 0, 30, 0}, {1, 0, 0, 0}, {1, 0, 70, 0}};
    int64_t shares[3], sum = 0;
    EXPECT_EQ(book_shares(e, 3, 25, shares, sum), 10000);
    EXPECT_EQ(sum, 100);
    EXPECT_EQ(shares[0], 3000);
    EXPECT_EQ(shares[1], 0);
    EXPECT_EQ(shares[2], 7000);
    // Only thresholds above a listed entry's running start choose it; the
    // weight-0 entry is skipped and adds nothing. A threshold of 0 still
    // picks a move: the first listed one.
    EXPECT_EQ(pick_book_entry(e, shares, 3, 0), 0);
    EXPECT_EQ(pick_book_entry(e, shares, 3, 1), 0);
    EXPECT_EQ(pick_book_entry(e, shares, 3, 3000), 0);
    EXPECT_EQ(pick_book_entry(e, shares, 3, 3001), 2);
    EXPECT_EQ(pick_book_entry(e, shares, 3, 9999), 2);

    // Variety 100 with a first weight of 200: h = 150, so the weight-0
    // sibling gets a share but is still never picked.
    BookEntry f[2] = {{1, 0, 200, 0}, {1, 0, 0, 0}};
    EXPECT_EQ(book_shares(f, 2, 100, shares, sum), 17500 + 7500);
    EXPECT_EQ(shares[0], 17500);
    EXPECT_EQ(shares[1], 7500);
    for (int64_t t = 1; t < 25000; t += 997) EXPECT_EQ(pick_book_entry(f, shares, 2, t), 0);
    // Variety 0 sharpens: h = -25 % of the first weight comes off every weight.
    BookEntry g[2] = {{1, 0, 80, 0}, {1, 0, 20, 0}};
    book_shares(g, 2, 0, shares, sum);
    EXPECT_EQ(shares[0], 6000);
    EXPECT_EQ(shares[1], 0);
    EXPECT_EQ(pick_book_entry(g, shares, 2, 0), 0);
    EXPECT_EQ(pick_book_entry(g, shares, 2, 5999), 0);
    BookEntry z[2] = {{1, 0, 0, 0}, {1, 0, 0, 0}};
    EXPECT_EQ(book_shares(z, 2, 25, shares, sum), 0);
    EXPECT_EQ(sum, 0);
}

namespace {

struct SmallBook {
    TempDir dir;
    std::string path = dir.file("small.bin");
    TestBoard start{start_fen};
    uint64_t key = polyglot_key(start.pos());
};

}  // namespace

TEST(BookProbe, WeightsGiveTheShareOfPicks) {
    SettingsGuard guard;
    SmallBook s;
    write_book(s.path, {{s.key, book_code("e2e4"), 30, 0}, {s.key, book_code("d2d4"), 70, 0}});
    srand(777);
    int e4 = 0, d4 = 0, total = 4000;
    for (int i = 0; i < total; i++) {
        Move m = book_probe(s.start.pos(), s.path.c_str(), settings.book_variety);
        e4 += m == make_move_value(sq("e2"), sq("e4"));
        d4 += m == make_move_value(sq("d2"), sq("d4"));
    }
    EXPECT_NEAR(double(e4) / total, 0.30, 0.03);
    // Everything else is the rare threshold of 0, which picks nothing.
    EXPECT_GE(e4 + d4, total - 20);
}

TEST(BookProbe, WeightZeroEntriesAreNeverPlayed) {
    SettingsGuard guard;
    settings.book_variety = 100;
    SmallBook s;
    write_book(s.path, {{s.key, book_code("g1f3"), 200, 0}, {s.key, book_code("e2e4"), 0, 0}});
    for (int i = 0; i < 300; i++) {
        Move m = book_probe(s.start.pos(), s.path.c_str(), settings.book_variety);
        EXPECT_TRUE(m == 0 || m == make_move_value(sq("g1"), sq("f3")));
    }
    write_book(s.path, {{s.key, book_code("g1f3"), 0, 0}, {s.key, book_code("e2e4"), 0, 0}});
    for (int i = 0; i < 50; i++) EXPECT_EQ(book_probe(s.start.pos(), s.path.c_str(), settings.book_variety), 0);
}

TEST(BookProbe, SmallestAndLargestKeysAreFound) {
    SettingsGuard guard;
    SmallBook s;
    Move e4 = make_move_value(sq("e2"), sq("e4"));
    std::vector<RawEntry> below, above;
    for (uint64_t i = 1; i <= 40; i++) {
        below.push_back({s.key - i * 1000, book_code("a2a3"), 1, 0});
        above.push_back({s.key + i * 1000, book_code("a2a3"), 1, 0});
    }
    std::sort(below.begin(), below.end(), [](auto& a, auto& b) { return a.key < b.key; });
    std::vector<RawEntry> first = {{s.key, book_code("e2e4"), 5, 0}};
    first.insert(first.end(), above.begin(), above.end());
    write_book(s.path, first);
    int hits = 0;
    for (int i = 0; i < 20; i++) hits += book_probe(s.start.pos(), s.path.c_str(), settings.book_variety) == e4;
    EXPECT_GE(hits, 18);
    std::vector<RawEntry> last = below;
    last.push_back({s.key, book_code("e2e4"), 5, 0});
    write_book(s.path, last);
    hits = 0;
    for (int i = 0; i < 20; i++) hits += book_probe(s.start.pos(), s.path.c_str(), settings.book_variety) == e4;
    EXPECT_GE(hits, 18);
    // A key between two stored ones is not mistaken for its neighbour.
    write_book(s.path, {below[39], above[0]});
    for (int i = 0; i < 20; i++) EXPECT_EQ(book_probe(s.start.pos(), s.path.c_str(), settings.book_variety), 0);
}

TEST(BookProbe, AtMost127MovesOfOnePositionAreRead) {
    SmallBook s;
    std::vector<RawEntry> many(200, RawEntry{s.key, book_code("e2e4"), 1, 0});
    write_book(s.path, many);
    BookEntry out[BOOK_MAX_MOVES];
    EXPECT_EQ(read_book_entries(s.path.c_str(), s.key, out, BOOK_MAX_MOVES), 127);
}

// Damaged, foreign or missing books give no move and never a wrong one.
TEST(BookProbe, FilesWithoutUsableEntriesGiveNoMove) {
    SettingsGuard guard;
    SmallBook s;
    Position& p = s.start.pos();
    auto probe_all = [&](const std::string& file) {
        Move m = 0;
        for (int i = 0; i < 30 && !m; i++) m = book_probe(p, file.c_str(), settings.book_variety);
        return m;
    };
    EXPECT_EQ(book_probe(p, "", settings.book_variety), 0);
    EXPECT_EQ(book_probe(p, s.dir.file("missing.bin").c_str(), settings.book_variety), 0);
    EXPECT_EQ(book_probe(p, s.dir.path().c_str(), settings.book_variety), 0);  // a directory
    { std::ofstream(s.dir.file("empty.bin"), std::ios::binary); }
    EXPECT_EQ(book_probe(p, s.dir.file("empty.bin").c_str(), settings.book_variety), 0);
    {
        std::ofstream f(s.dir.file("short.bin"), std::ios::binary);
        f.write("\x46\x3b\x96\x18\x16\x91\xfc", 7);  // the start key's first bytes, cut short
    }
    EXPECT_EQ(book_probe(p, s.dir.file("short.bin").c_str(), settings.book_variety), 0);

    // An odd length: the whole entries count, the broken tail does not.
    write_book(s.path, {{s.key, book_code("e2e4"), 3, 0}});
    { std::ofstream(s.path, std::ios::binary | std::ios::app).write("\x46\x3b\x96\x18\x16", 5); }
    EXPECT_EQ(probe_all(s.path), make_move_value(sq("e2"), sq("e4")));
    write_book(s.path, {{1, book_code("e2e4"), 3, 0}});
    { std::ofstream(s.path, std::ios::binary | std::ios::app).write("\xff\xff\xff", 3); }
    EXPECT_EQ(probe_all(s.path), 0);

    // Stored moves that are not legal here: from an empty square, a rook
    // through its own pawn, a king stepping two files without the right,
    // a promotion code beyond the four pieces, a pawn "promoting" on rank 3.
    for (uint16_t bad : {book_code("e4e5"), book_code("a1a4"), book_code("e8h8"), uint16_t(6 << 12 | book_code("e2e4")),
                         book_code("e2e3q")}) {
        write_book(s.path, {{s.key, bad, 10, 0}});
        EXPECT_EQ(probe_all(s.path), 0) << bad;
    }
    // A text file is read as entries too; whatever it holds, nothing is played.
    { std::ofstream(s.path) << "this is not an opening book, just some text of odd length.\n"; }
    EXPECT_EQ(probe_all(s.path), 0);
}

TEST(BookProbe, ProtocolModeListsTheCandidates) {
    SettingsGuard guard;
    output_mode.uci_mode = 1;
    SmallBook s;
    write_book(s.path, {{s.key, book_code("e2e4"), 5, 0}, {s.key, book_code("c2c4"), 0, 0},
                        {s.key, book_code("d2d4"), 5, 0}});
    testing::internal::CaptureStdout();
    Move m = 0;
    while (!m) m = book_probe(s.start.pos(), s.path.c_str(), settings.book_variety);
    std::string out = testing::internal::GetCapturedStdout();
    std::string last = out.substr(out.rfind("info string ("));
    EXPECT_EQ(last, "info string ( book moves are: e2e4 d2d4  )\n");
}

TEST(BookProbe, ConsoleModeShowsWeightsAndTheChoice) {
    SettingsGuard guard;
    output_mode.noise = 0;
    SmallBook s;
    write_book(s.path, {{s.key, book_code("e2e4"), 1, 0}, {s.key, book_code("d2d4"), 3, 0}});
    testing::internal::CaptureStdout();
    Move m = 0;
    while (!m) m = book_probe(s.start.pos(), s.path.c_str(), settings.book_variety);
    std::string out = testing::internal::GetCapturedStdout();
    std::string tail = out.substr(out.rfind("  e2e4"));
    std::string chosen = m == make_move_value(sq("e2"), sq("e4")) ? "e2e4" : "d2d4";
    EXPECT_EQ(tail, "  e2e4  cnt=     1, weight= 25.00% -> 25.00%\n"
                    "  d2d4  cnt=     3, weight= 75.00% -> 75.00%\n"
                    "selecting " + chosen + "\n");
}
