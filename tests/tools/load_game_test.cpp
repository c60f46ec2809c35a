// Console "load": one game out of a PGN file onto the game position.
#include <gtest/gtest.h>
#include <sstream>
#include "position/movegen.h"
#include "position/notation.h"
#include "tools/pgn_tools.h"
#include "../shell/engine_state.h"
#include "../support/board_text.h"
#include "../support/test_position.h"

namespace {

std::string data(const std::string& rel) { return std::string(VORN_DATA_DIR) + "/" + rel; }

std::string load(const std::string& file, const char* tag) {
    testing::internal::CaptureStdout();
    load_game(file.c_str(), tag);
    return testing::internal::GetCapturedStdout();
}

}  // namespace

class LoadGame : public EngineState {};

TEST_F(LoadGame, TheGameWithTheTagIsPlayedOnTheBoard) {
    std::string out = load(data("pgn/molinari-bordais-1979.pgn"), "Molinari");
    EXPECT_EQ(game_fen(), fen_after_moves("e4 c5 c4 Nc6 Ne2 Nf6 Nbc3 Nb4 g3 Nd3"));
    EXPECT_EQ(game_ply(), 10);
    EXPECT_NE(out.find("games\n\n"), std::string::npos);
    // The second game of a file, chosen by a tag of its own.
    out = load(data("pgn/kasparov-deep-blue-1997.pgn"), "Site \"02\"");
    EXPECT_EQ(game_fen(),
              fen_after_moves("e4 e5 Nf3 Nc6 Bb5 a6 Ba4 Nf6 O-O Be7 Re1 b5 Bb3 d6 c3 O-O h3 h6 d4 Re8 Nbd2 Bf8 Nf1 Bd7 "
                        "Ng3 Na5 Bc2 c5 b3 Nc6 d5 Ne7 Be3 Ng6 Qd2 Nh7 a4 Nh4 Nxh4 Qxh4 Qe2 Qd8 b4 Qc7 Rec1 c4 "
                        "Ra3 Rec8 Rca1 Qd8 f4 Nf6 fxe5 dxe5 Qf1 Ne8 Qf2 Nd6 Bb6 Qe8 R3a2 Be7 Bc5 Bf8 Nf5 Bxf5 "
                        "exf5 f6 Bxd6 Bxd6 axb5 axb5 Be4 Rxa2 Qxa2 Qd7 Qa7 Rc7 Qb6 Rb7 Ra8+ Kf7 Qa6 Qc7 Qc6 Qb6+ "
                        "Kf1 Rb8 Ra6"));
}

TEST_F(LoadGame, AChess960GameFromItsFen) {
    // The second game of the file starts from this FEN and ends 50. Qc7#.
    load(data("pgn/cutechess-fischerrandom.pgn"), "rqkrbnnb");
    EXPECT_EQ(game_ply(), 99);
    EXPECT_EQ(game_position().side, BLACK);
    EXPECT_TRUE(no_legal_move(game_position()));
}

TEST_F(LoadGame, AMoveThatDoesNotReadStopsTheReplay) {
    std::string out = load(data("pgn/anastasian-lewis.pgn"), "Anastasian");
    EXPECT_EQ(game_ply(), 81);
    EXPECT_NE(out.find("can't parse move 41. Z0 in game #"), std::string::npos) << out;
}

TEST_F(LoadGame, WrongNamesAndShortTagsDoNothing) {
    std::string before = game_fen();
    EXPECT_EQ(load(data("epd/bratko-kopec.epd"), "BK.01"), "");
    EXPECT_EQ(load(data("pgn/molinari-bordais-1979.pgn"), "Mo"), "");
    EXPECT_EQ(load(data("pgn/missing.pgn"), "Molinari"), "");
    EXPECT_EQ(game_fen(), before);
    // A tag that no game has: nothing is collected and the board stays.
    std::string out = load(data("pgn/molinari-bordais-1979.pgn"), "Nobody at all");
    EXPECT_EQ(game_fen(), before);
    EXPECT_NE(out.find("read "), std::string::npos);
}
