// The console dialect (-c): board printing, move entry and perft.
#include <gtest/gtest.h>
#include "engine_process.h"

static const std::vector<std::string> START_BOARD = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -",
    " r n b q k b n r",
    " p p p p p p p p",
    " - + - + - + - +",
    " + - + - + - + -",
    " - + - + - + - +",
    " + - + - + - + -",
    " P P P P P P P P",
    " R N B Q K B N R",
    "white",
    ""};

static std::vector<std::string> console(const std::vector<std::string>& input) {
    std::vector<std::string> out;
    EXPECT_EQ(run_engine({"-c", "-quiet"}, input, out), 0);
    return without_startup(out);
}

static std::vector<std::string> slice(const std::vector<std::string>& v, size_t from, size_t n) {
    if (from + n > v.size()) return {};
    return std::vector<std::string>(v.begin() + long(from), v.begin() + long(from + n));
}

TEST(Console, PrintsTheBoardAtStartAndOnBd) {
    auto out = console({"bd", "quit"});
    ASSERT_EQ(out.size(), 2 * START_BOARD.size());
    EXPECT_EQ(slice(out, 0, START_BOARD.size()), START_BOARD);
    EXPECT_EQ(slice(out, START_BOARD.size(), START_BOARD.size()), START_BOARD);
}

TEST(Console, PerftCountsTheStartPosition) {
    auto out = console({"perft 3", "perft", "perft 0", "perft -4", "quit"});
    std::vector<std::string> counts;
    for (auto& l : out)
        if (starts_with(l, "visited ")) counts.push_back(l.substr(0, l.find(" nodes")));
    std::vector<std::string> expect = {"visited 8902", "visited 20", "visited 20", "visited 20"};
    EXPECT_EQ(counts, expect);
}

TEST(Console, PerftCountsFromTheGamePosition) {
    // Kiwipete, a standard perft test position.
    auto out = console({"fen r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -", "perft 2", "quit"});
    bool found = false;
    for (auto& l : out) found |= starts_with(l, "visited 2039 nodes in ");
    EXPECT_TRUE(found);
}

TEST(Console, MovesAreEnteredInEitherNotation) {
    auto out = console({"e4", "e7e5", "Nf3", "quit"});
    std::vector<std::string> moves;
    for (auto& l : out)
        if (l.find(". move ") != std::string::npos) moves.push_back(l);
    std::vector<std::string> expect = {"1. move e4", "1. move e7e5", "2. move Nf3"};
    EXPECT_EQ(moves, expect);
    EXPECT_EQ(out[out.size() - 11], "rnbqkbnr/pppp1ppp/8/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq -");
    EXPECT_EQ(out[out.size() - 2], "black");
}

TEST(Console, WrongMovesAndBadFensLeaveTheBoardAlone) {
    auto out = console({"e2e5", "Ke2", "hello", "fen 8/8/8/8/8/8/8/8 w - -", "bd", "quit"});
    auto has = [&](const std::string& s) { return std::find(out.begin(), out.end(), s) != out.end(); };
    EXPECT_TRUE(has("invalid: e2e5"));
    EXPECT_TRUE(has("invalid: Ke2"));
    EXPECT_TRUE(has("invalid: hello"));
    EXPECT_TRUE(has("invalid FEN"));
    EXPECT_EQ(slice(out, out.size() - START_BOARD.size(), START_BOARD.size()), START_BOARD);
}

TEST(Console, UciSwitchesToTheProtocol) {
    auto out = console({"uci", "isready", "quit"});
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.back(), "readyok");
    EXPECT_EQ(out[START_BOARD.size()], "id name Vorn 7.14");
}
