// The position, go, setoption and ucinewgame commands as they change the
// engine's state, called through the command reader in this process.
#include "engine_state.h"
#include "../support/test_position.h"
#include "position/notation.h"

using PositionCommand = EngineState;
using GoCommand = EngineState;
using ProtocolState = EngineState;

TEST_F(PositionCommand, StartposWithMoves) {
    handle_line("position startpos moves e2e4 e7e5 g1f3");
    EXPECT_EQ(game_fen(), "rnbqkbnr/pppp1ppp/8/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq -");
    EXPECT_EQ(game_ply(), 3);
    EXPECT_EQ(position_problem(game_position()), "");
    handle_line("position startpos moves");
    EXPECT_EQ(game_fen(), start_fen);
    EXPECT_EQ(game_ply(), 0);
}

TEST_F(PositionCommand, CastlingInBothSpellings) {
    const char* fen = "position fen r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1 moves ";
    handle_line((std::string(fen) + "e1g1 e8c8").c_str());
    EXPECT_EQ(game_fen(), "2kr3r/8/8/8/8/8/8/R4RK1 w - -");
    handle_line((std::string(fen) + "e1h1 e8a8").c_str());
    EXPECT_EQ(game_fen(), "2kr3r/8/8/8/8/8/8/R4RK1 w - -");
    handle_line((std::string(fen) + "e1a1 e8h8").c_str());
    EXPECT_EQ(game_fen(), "r4rk1/8/8/8/8/8/8/2KR3R w - -");
    // A king two files away is castling, and with no right it is refused.
    handle_line("position fen r3k2r/8/8/8/8/8/8/R3K2R w Qkq - 0 1 moves e1g1 e8g8");
    EXPECT_EQ(game_fen(), "r3k2r/8/8/8/8/8/8/R3K2R w Qkq -");
}

TEST_F(PositionCommand, ChessNineSixtyCastlingAsKingTakesRook) {
    // King on g1 between rooks on b1 and h1.
    handle_line("position fen 1r4kr/8/8/8/8/8/8/1R4KR w KQkq - 0 1 moves g1h1");
    EXPECT_EQ(game_fen(), "1r4kr/8/8/8/8/8/8/1R3RK1 b kq -");
    handle_line("position fen 1r4kr/8/8/8/8/8/8/1R4KR w KQkq - 0 1 moves g1b1");
    EXPECT_EQ(game_fen(), "1r4kr/8/8/8/8/8/8/2KR3R b kq -");
    handle_line("position fen 1r4kr/8/8/8/8/8/8/1R4KR b KQkq - 0 1 moves g8b8");
    EXPECT_EQ(game_fen(), "2kr3r/8/8/8/8/8/8/1R4KR w KQ -");
    // With the rook now on d1 Black may not castle through d8.
    handle_line("position fen 1r4kr/8/8/8/8/8/8/1R4KR w KQkq - 0 1 moves g1b1 g8b8");
    EXPECT_EQ(game_fen(), "1r4kr/8/8/8/8/8/8/2KR3R b kq -");
    EXPECT_EQ(position_problem(game_position()), "");
}

TEST_F(PositionCommand, PromotionLetters) {
    const char* fen = "position fen 4k3/P7/8/8/8/8/8/4K3 w - - 0 1 moves ";
    handle_line((std::string(fen) + "a7a8n").c_str());
    EXPECT_EQ(game_fen(), "N3k3/8/8/8/8/8/8/4K3 b - -");
    handle_line((std::string(fen) + "a7a8r").c_str());
    EXPECT_EQ(game_fen(), "R3k3/8/8/8/8/8/8/4K3 b - -");
    handle_line((std::string(fen) + "a7a8b").c_str());
    EXPECT_EQ(game_fen(), "B3k3/8/8/8/8/8/8/4K3 b - -");
    handle_line((std::string(fen) + "a7a8").c_str());  // no letter: a queen
    EXPECT_EQ(game_fen(), "Q3k3/8/8/8/8/8/8/4K3 b - -");
    for (const char* bad : {"a7a8k", "a7a8p", "a7a8Q", "a7a8qq"}) {
        handle_line((std::string(fen) + bad).c_str());
        EXPECT_EQ(game_fen(), "4k3/P7/8/8/8/8/8/4K3 w - -") << bad;
    }
    handle_line("position startpos moves e2e4q");
    EXPECT_EQ(game_fen(), start_fen);
}

TEST_F(PositionCommand, EnPassant) {
    handle_line("position startpos moves e2e4 a7a6 e4e5 d7d5 e5d6");
    EXPECT_EQ(game_fen(), "rnbqkbnr/1pp1pppp/p2P4/8/8/8/PPPP1PPP/RNBQKBNR b KQkq -");
    EXPECT_EQ(position_problem(game_position()), "");
}

TEST_F(PositionCommand, StopsAtTheFirstIllegalMove) {
    for (const char* bad : {"e2e5", "d4d5", "a1a1", "e1e2", "e2", "e2e4e5", "E2E4", "e0e4", "h9h8", "xx", "0000"}) {
        handle_line((std::string("position startpos moves d2d4 ") + bad + " d7d5").c_str());
        EXPECT_EQ(game_fen(), "rnbqkbnr/pppppppp/8/8/3P4/8/PPP1PPPP/RNBQKBNR b KQkq -") << bad;
        EXPECT_EQ(game_ply(), 1) << bad;
    }
    // Moving into check and moving a pinned piece are not legal either.
    handle_line("position fen 4k3/8/8/8/8/8/4r3/R3K3 w - - 0 1 moves e1f2");
    EXPECT_EQ(game_fen(), "4k3/8/8/8/8/8/4r3/R3K3 w - -");
    handle_line("position fen 4k3/4r3/8/8/8/8/4B3/4K3 w - - 0 1 moves e2d3");
    EXPECT_EQ(game_fen(), "4k3/4r3/8/8/8/8/4B3/4K3 w - -");
}

TEST_F(PositionCommand, RefusedFenKeepsTheGame) {
    handle_line("position startpos moves e2e4 e7e5");
    std::string before = game_fen();
    uint64_t key = game_position().key;
    for (const char* line : {"position fen 8/8/8/8/8/8/8/8 w - -", "position fen", "position fen moves e2e4",
                             "position fen 4k3/4R3/8/8/8/8/8/4K3 w - -", "position fen kK6/8/8/8/8/8/8/8 w - -",
                             "position fen Pk6/8/8/8/8/8/8/K7 w - -", "position", "position nonsense moves e2e4"}) {
        handle_line(line);
        EXPECT_EQ(game_fen(), before) << line;
        EXPECT_EQ(game_position().key, key) << line;
        EXPECT_EQ(game_ply(), 2) << line;
    }
    // A sound FEN after the refused ones is taken as usual.
    handle_line("position fen 4k3/8/8/8/8/8/8/4K3 w - - 0 1 moves e1e2");
    EXPECT_EQ(game_fen(), "4k3/8/8/8/8/8/4K3/8 b - -");
}

TEST_F(PositionCommand, LongGamesStayInsideTheHistory) {
    std::string line = "position startpos moves";
    for (int i = 0; i < 240; i++) line += " g1f3 g8f6 f3g1 f6g8";
    ASSERT_LT(line.size(), size_t(4997));
    handle_line(line.c_str());
    EXPECT_EQ(game_fen(), start_fen);
    EXPECT_LT(game_ply(), MAX_HISTORY - MAX_PLY);
    EXPECT_GT(game_ply(), 100);
    EXPECT_EQ(position_problem(game_position()), "");
    handle_line("go");
    ASSERT_EQ(load_state(), STATE_GO_WAITING);
    start_search(STATE_NORMAL, true, last_go_limits());
    EXPECT_NE(search_result.best_move, 0);
}

TEST_F(PositionCommand, RepetitionsSurviveTheTrimmedHistory) {
    // 762 plies up to the last pawn move, then 64 plies of knight moves that
    // keep coming back to one position: the record must be trimmed on the
    // way, and the repetition must still be seen (the half-move clock is
    // only 64, so this is no fifty-move draw).
    std::string line = "position startpos moves";
    for (int i = 0; i < 190; i++) line += " g1f3 g8f6 f3g1 f6g8";
    line += " e2e4 e7e5";
    for (int i = 0; i < 16; i++) line += " g1f3 g8f6 f3g1 f6g8";
    ASSERT_LT(line.size(), size_t(4997));
    handle_line(line.c_str());
    EXPECT_EQ(game_fen(), "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq -");
    EXPECT_EQ(game_position().fifty, 64);
    EXPECT_TRUE(is_draw(game_position(), 0, 0));
    // The same ending on a short record, and one repetition short of it.
    handle_line("position startpos moves e2e4 e7e5 g1f3 g8f6 f3g1 f6g8 g1f3 g8f6 f3g1 f6g8");
    EXPECT_TRUE(is_draw(game_position(), 0, 0));
    handle_line("position startpos moves e2e4 e7e5 g1f3 g8f6 f3g1 f6g8");
    EXPECT_FALSE(is_draw(game_position(), 0, 0));
}

TEST_F(GoCommand, ReadsTheClockInSecondsAndTheIncrementOfTheMover) {
    handle_line("go wtime 3000 btime 4000 winc 100 binc 200 movestogo 20");
    const SearchLimits& l = last_go_limits();
    EXPECT_FLOAT_EQ(l.time_left, 3.0f);
    EXPECT_FLOAT_EQ(l.increment, 0.1f);
    EXPECT_EQ(l.moves_per_control, 40);
    EXPECT_EQ(l.moves_to_go, 20);
    EXPECT_EQ(l.max_depth, 80);
    EXPECT_EQ(l.max_nodes, NO_NODE_LIMIT);
    EXPECT_EQ(load_state(), STATE_GO_WAITING);
    store_state(0);
    handle_line("position startpos moves e2e4");
    handle_line("go wtime -50 btime 700 winc 100 binc 200");
    // Black to move: black's clock and increment; a negative clock is 0.
    EXPECT_FLOAT_EQ(l.time_left, 0.7f);
    EXPECT_FLOAT_EQ(l.increment, 0.2f);
    EXPECT_EQ(l.moves_per_control, CLOCK_SUDDEN_DEATH);
    EXPECT_FLOAT_EQ(settings.time_left[WHITE], 0.0f);
}

TEST_F(GoCommand, DepthIsCappedAndPonderWaitsApart) {
    handle_line("go depth 200");
    EXPECT_EQ(last_go_limits().max_depth, 80);
    EXPECT_EQ(last_go_limits().moves_per_control, CLOCK_PER_MOVE);
    EXPECT_GE(last_go_limits().base_time, 1e6f);
    EXPECT_EQ(load_state(), STATE_GO_WAITING);
    store_state(0);
    handle_line("go ponder wtime 1000");
    EXPECT_EQ(load_state(), STATE_PONDER_WAITING);
    EXPECT_FLOAT_EQ(last_go_limits().time_left, 1.0f);
    // The depth of the earlier go does not carry over.
    EXPECT_EQ(last_go_limits().max_depth, 80);
}

TEST_F(GoCommand, FixedLimitsMateAndSearchmovesReachTheSearchLimits) {
    handle_line("go movetime 250");
    const SearchLimits& l = last_go_limits();
    EXPECT_EQ(l.moves_per_control, CLOCK_PER_MOVE);
    EXPECT_FLOAT_EQ(l.base_time, 0.25f);
    store_state(0);
    handle_line("go nodes 5000");
    EXPECT_EQ(l.max_nodes, 5000);
    EXPECT_EQ(l.moves_per_control, CLOCK_PER_MOVE);
    store_state(0);
    // A mate in 3 without a clock: no time limit, depth a few plies past it.
    handle_line("go mate 3");
    EXPECT_EQ(l.mate_moves, 3);
    EXPECT_EQ(l.max_depth, 12);
    EXPECT_EQ(l.max_nodes, NO_NODE_LIMIT);
    EXPECT_GE(l.base_time, 1e6f);
    store_state(0);
    // Words that name no legal move are passed over; repeats count once.
    handle_line("go depth 5 searchmoves e2e4 d2d4 e2e4 e7e5 zz");
    EXPECT_EQ(l.mate_moves, 0);
    EXPECT_EQ(l.max_depth, 5);
    ASSERT_EQ(l.root_move_count, 2);
    Move e4 = 0, d4 = 0, a3 = 0;
    char e4_text[] = "e2e4", d4_text[] = "d2d4", a3_text[] = "a2a3";
    ASSERT_TRUE(parse_move(game_position(), e4_text, e4));
    ASSERT_TRUE(parse_move(game_position(), d4_text, d4));
    ASSERT_TRUE(parse_move(game_position(), a3_text, a3));
    EXPECT_TRUE(root_move_allowed(l, e4));
    EXPECT_TRUE(root_move_allowed(l, d4));
    EXPECT_FALSE(root_move_allowed(l, a3));
    store_state(0);
    handle_line("go wtime 1000 btime 1000");
    EXPECT_EQ(l.root_move_count, 0);
    EXPECT_TRUE(root_move_allowed(l, a3));
}

TEST_F(GoCommand, TheConsoleLevelCountsTheMovesLeftInItsPeriod) {
    EngineSettings s = settings;
    output_mode.uci_mode = 0;
    s.moves_per_control = 40;
    s.base_time = 300.0f;
    s.time_left[WHITE] = 120.0f;
    s.time_left[BLACK] = 90.0f;
    s.increment = 2.0f;
    // Forty moves a side in each period: 80 plies.
    EXPECT_EQ(level_limits(s, WHITE, 0).moves_to_go, 40);
    EXPECT_EQ(level_limits(s, BLACK, 1).moves_to_go, 40);
    EXPECT_EQ(level_limits(s, WHITE, 10).moves_to_go, 35);
    EXPECT_EQ(level_limits(s, BLACK, 79).moves_to_go, 1);
    EXPECT_EQ(level_limits(s, WHITE, 80).moves_to_go, 40);
    const SearchLimits black = level_limits(s, BLACK, 11);
    EXPECT_FLOAT_EQ(black.time_left, 90.0f);
    EXPECT_FLOAT_EQ(black.increment, 2.0f);
    EXPECT_EQ(black.moves_per_control, 40);
    // The protocol's movestogo is taken as it is.
    output_mode.uci_mode = 1;
    s.moves_to_go = 7;
    EXPECT_EQ(level_limits(s, WHITE, 10).moves_to_go, 7);
    // Sudden death and a fixed time a move count no moves.
    s.moves_per_control = CLOCK_SUDDEN_DEATH;
    EXPECT_EQ(level_limits(s, WHITE, 10).moves_to_go, 0);
}

TEST_F(ProtocolState, PonderhitAndStopChangeTheRunningSearch) {
    store_state(STATE_PONDER | STATE_RESULT_READY);
    handle_line("ponderhit");
    EXPECT_EQ(load_state(), STATE_NORMAL | STATE_RESULT_READY);
    handle_line("ponderhit");
    EXPECT_EQ(load_state(), STATE_NORMAL | STATE_RESULT_READY);
    handle_line("stop");
    EXPECT_EQ(load_state(), STATE_NORMAL | STATE_RESULT_READY | STATE_STOP_REQUESTED);
    EXPECT_EQ(stop_search.load(), 1);
}

TEST_F(ProtocolState, StateChangingCommandsDuringASearchStopItAndWait) {
    handle_line("position startpos moves e2e4");
    for (const char* command : {"position startpos", "setoption name Hash value 1", "go depth 3", "ucinewgame"}) {
        store_state(STATE_PONDER);
        stop_search.store(0);
        settings.quit_requested = 0;
        const int hash = settings.hash_mb;
        handle_line(command);
        // The search is told to stop and pondering ends; the command waits
        // for the search's bestmove, so nothing has changed yet.
        EXPECT_EQ(settings.quit_requested, 0) << command;
        EXPECT_EQ(load_state(), STATE_STOP_REQUESTED) << command;
        EXPECT_EQ(stop_search.load(), 1) << command;
        EXPECT_EQ(game_ply(), 1) << command;
        EXPECT_EQ(settings.hash_mb, hash) << command;
    }
    handle_line("isready");
    EXPECT_EQ(settings.quit_requested, 0);
    store_state(0);
}

TEST_F(ProtocolState, SetoptionCopiesIntoTheSavedSettings) {
    handle_line("setoption name Hash value 32");
    EXPECT_EQ(settings.hash_mb, 32);
    EXPECT_EQ(saved_settings.shell.hash_mb, 32);
    handle_line("setoption name Threads value 0");
    EXPECT_EQ(search_options.threads, 0);
    handle_line("setoption name UCI_Opponent value IM 2400 computer Foo");
    EXPECT_EQ(settings.opponent_elo, 2400);
    handle_line("setoption name SyzygyProbeDepth6 value 12");
    EXPECT_EQ(tb_options.probe_depth7, 12);
    handle_line("setoption name SyzygyProbeDepth6 value 3");
    EXPECT_EQ(tb_options.probe_depth7, 7);
    handle_line("setoption name Target_NPS value 1000");
    EXPECT_FLOAT_EQ(target_nps, 1000.0f);
    EXPECT_EQ(search_options.limit_strength, 1);
    EXPECT_EQ(search_options.elo, 2338);  // 850 + 250 ln 1000 - 5 (ln 1000)^2
}
