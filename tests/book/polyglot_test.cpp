// The Polyglot hash against the published keys, the random table against
// its data file, and the move and entry encodings.
#include <gtest/gtest.h>
#include <cinttypes>
#include "book/polyglot_random.h"
#include "book_support.h"

TEST(BookKey, RandomTableMatchesThePublishedNumbers) {
    std::ifstream f(data_path("polyglot-random64.txt"));
    ASSERT_TRUE(f) << "missing data file";
    std::string line;
    int n = 0;
    while (std::getline(f, line)) {
        if (line.empty() || line[0] == '#') continue;
        ASSERT_LT(n, POLYGLOT_RANDOM_COUNT);
        EXPECT_EQ(polyglot_random[n], std::stoull(line, nullptr, 16)) << "entry " << n;
        n++;
    }
    EXPECT_EQ(n, POLYGLOT_RANDOM_COUNT);
}

// Every published position, once set up from its FEN and once reached by
// playing the moves named in the comment above it (so the keys after
// double steps with and without a capturing pawn are checked as the board
// keeps them after make_move too).
TEST(BookKey, PublishedKeysFromFenAndFromPlayedMoves) {
    SettingsGuard guard;
    std::ifstream f(data_path("polyglot-keys.txt"));
    ASSERT_TRUE(f);
    std::string line, moves;
    int checked = 0;
    while (std::getline(f, line)) {
        if (line.rfind("# after ", 0) == 0) {
            moves = line.substr(8);
            continue;
        }
        if (line.empty() || line[0] == '#') {
            if (line.find("start position") != std::string::npos) moves = "";
            continue;
        }
        size_t semi = line.find(';');
        ASSERT_NE(semi, std::string::npos) << line;
        std::string fen = line.substr(0, semi);
        uint64_t want = std::stoull(line.substr(semi + 1), nullptr, 16);
        TestBoard b;
        ASSERT_TRUE(b.set(fen.c_str())) << fen;
        EXPECT_EQ(polyglot_key(b.pos()), want) << fen;
        TestBoard played(start_fen);
        ASSERT_TRUE(play_moves(played, moves)) << moves;
        EXPECT_EQ(polyglot_key(played.pos()), want) << "after " << moves;
        checked++;
    }
    EXPECT_EQ(checked, 9);
}

TEST(BookKey, KeyDependsOnTurnCastlingAndEnPassantOnly) {
    TestBoard a("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    TestBoard b("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 37 60");
    EXPECT_EQ(polyglot_key(a.pos()), polyglot_key(b.pos()));  // the counters play no part
    TestBoard c("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1");
    EXPECT_EQ(polyglot_key(a.pos()) ^ polyglot_key(c.pos()), polyglot_random[POLYGLOT_TURN]);
    TestBoard d("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w Kkq - 0 1");
    EXPECT_EQ(polyglot_key(a.pos()) ^ polyglot_key(d.pos()), polyglot_random[POLYGLOT_CASTLE + 1]);
    // A pinned pawn still counts as ready to take en passant.
    TestBoard e("8/8/8/K2pP2r/8/8/8/7k w - d6 0 1");
    TestBoard f("8/8/8/K2pP2r/8/8/8/7k w - - 0 1");
    EXPECT_EQ(polyglot_key(e.pos()) ^ polyglot_key(f.pos()), polyglot_random[POLYGLOT_EN_PASSANT + 3]);
}

TEST(BookMove, CastlingAndPromotionCodes) {
    EXPECT_EQ(book_move_to_move(book_code("e1h1")), make_move_value(sq("e1"), sq("g1"), FLAG_KS));
    EXPECT_EQ(book_move_to_move(book_code("e1a1")), make_move_value(sq("e1"), sq("c1"), FLAG_QS));
    EXPECT_EQ(book_move_to_move(book_code("e8h8")), make_move_value(sq("e8"), sq("g8"), FLAG_KS));
    EXPECT_EQ(book_move_to_move(book_code("e8a8")), make_move_value(sq("e8"), sq("c8"), FLAG_QS));
    EXPECT_EQ(book_move_to_move(book_code("e1g1")), make_move_value(sq("e1"), sq("g1")));  // squares only
    EXPECT_EQ(book_move_to_move(book_code("e2e4")), make_move_value(sq("e2"), sq("e4")));
    EXPECT_EQ(book_move_to_move(book_code("a7a8n")), make_move_value(sq("a7"), sq("a8"), PROMO_N));
    EXPECT_EQ(book_move_to_move(book_code("a7b8b")), make_move_value(sq("a7"), sq("b8"), PROMO_B));
    EXPECT_EQ(book_move_to_move(book_code("h2h1r")), make_move_value(sq("h2"), sq("h1"), PROMO_R));
    EXPECT_EQ(book_move_to_move(book_code("h2g1q")), make_move_value(sq("h2"), sq("g1"), PROMO_Q));
    EXPECT_EQ(book_move_to_move(uint16_t(5 << 12 | book_code("a7a8"))), 0);
    EXPECT_EQ(book_move_to_move(uint16_t(7 << 12 | book_code("a7a8"))), 0);

    // The builder's direction, round trip included.
    for (const char* t : {"e1h1", "e1a1", "e8h8", "e8a8", "e2e4", "g8f6", "a7a8n", "a7b8b", "h2h1r", "h2g1q"})
        EXPECT_EQ(move_to_book_move(book_move_to_move(book_code(t))), book_code(t)) << t;
}

TEST(BookMove, EntriesAreBigEndian) {
    BookEntry e = {0x0123456789ABCDEFULL, 0x1234, 0xBEEF, 0xCAFEBABE};
    unsigned char raw[16];
    encode_book_entry(e, raw);
    const unsigned char want[16] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF,
                                    0x12, 0x34, 0xBE, 0xEF, 0xCA, 0xFE, 0xBA, 0xBE};
    EXPECT_EQ(memcmp(raw, want, 16), 0);
    BookEntry back = decode_book_entry(raw);
    EXPECT_EQ(back.key, e.key);
    EXPECT_EQ(back.move, e.move);
    EXPECT_EQ(back.weight, e.weight);
    EXPECT_EQ(back.learn, e.learn);
}
