// Protocol sessions held with the real executable over pipes.
#include <gtest/gtest.h>
#include <cstring>
#include "engine_process.h"
#include "legal_texts.h"

static const std::string START = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";

static std::string move_of(const std::optional<std::string>& bestmove_line) {
    if (!bestmove_line) return "";
    std::string s = bestmove_line->substr(9);
    return s.substr(0, s.find(' '));
}

TEST(UciSession, HandshakeListsEveryOptionInOrder) {
    EngineProcess e;
    EXPECT_EQ(e.next_line().value_or(""), "info string Hello from Vorn 7.14");
    ASSERT_TRUE(e.skip_startup());
    size_t start = e.lines().size();
    e.send("uci");
    ASSERT_TRUE(e.wait_for_prefix("uciok"));
    std::vector<std::string> reply(e.lines().begin() + long(start), e.lines().end());
    ASSERT_EQ(reply.size(), 27u);
    EXPECT_EQ(reply[0], "id name Vorn 7.14");
    EXPECT_EQ(reply[1], "id author Rell Ostrand");
    const char* names[] = {"ConfigFilePath", "Hash", "Threads", "Clear Hash", "NN_File", "Use_NN_eval",
                           "OwnBook", "OwnBook_File", "OwnBook_Depth", "OwnBook2_File", "OwnBook2_Depth",
                           "OwnBook_Variety", "SyzygyPath", "SyzygyProbeDepth6", "Log", "Ponder", "MultiPV",
                           "UCI_Chess960", "MoveOverhead", "UCI_LimitStrength", "UCI_Elo", "UCI_Opponent",
                           "Contempt", "Selectivity"};
    for (int i = 0; i < 24; i++)
        EXPECT_TRUE(starts_with(reply[2 + i], std::string("option name ") + names[i] + " type "))
            << "option " << i << ": " << reply[2 + i];
    EXPECT_EQ(reply[2], "option name ConfigFilePath type string default ");
    EXPECT_EQ(reply[3], "option name Hash type spin default 64 min 0 max 65536");
    EXPECT_EQ(reply[4], "option name Threads type spin default 1 min 1 max 512");
    EXPECT_EQ(reply[5], "option name Clear Hash type button");
    EXPECT_EQ(reply[6], "option name NN_File type string default embedded");
    EXPECT_EQ(reply[7], "option name Use_NN_eval type check default true");
    EXPECT_EQ(reply[9], "option name OwnBook_File type string default vorn_book.bin");
    EXPECT_EQ(reply[15], "option name SyzygyProbeDepth6 type spin default 1 min -5 max 100");
    EXPECT_EQ(reply[16], "option name Log type check default false");
    // The first reply offers the calibrated rating as default and maximum.
    int top = 0;
    ASSERT_EQ(sscanf(reply[22].c_str(), "option name UCI_Elo type spin default %d min 1500 max", &top), 1) << reply[22];
    EXPECT_EQ(reply[22], "option name UCI_Elo type spin default " + std::to_string(top) + " min 1500 max " +
                             std::to_string(top));
    EXPECT_GT(top, 1500);
    EXPECT_EQ(reply[23], "option name UCI_Opponent type string default ");
    EXPECT_EQ(reply[25], "option name Selectivity type spin default 100 min 0 max 200");
    EXPECT_EQ(reply[26], "uciok");
    e.send("isready");
    EXPECT_EQ(e.next_line().value_or(""), "readyok");
    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
}

TEST(UciSession, GoAnswersALegalMoveOfTheSideToMove) {
    EngineProcess e;
    e.send("position startpos moves e2e4 e7e5");
    e.send("go wtime 1000 btime 1000");
    std::string move = move_of(e.wait_for_prefix("bestmove "));
    EXPECT_TRUE(is_legal_text(START, {"e2e4", "e7e5"}, move)) << move;
    e.send("position startpos moves e2e4");
    e.send("go depth 3");
    move = move_of(e.wait_for_prefix("bestmove "));
    EXPECT_TRUE(is_legal_text(START, {"e2e4"}, move)) << move;
    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
}

TEST(UciSession, TakesTheMateInOneAndReportsMateAndStalemateAsNoMove) {
    EngineProcess e;
    e.send("position fen 6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1");
    e.send("go");
    EXPECT_EQ(e.wait_for_prefix("bestmove ").value_or(""), "bestmove a1a8");
    e.send("position fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1");  // stalemate
    e.send("go");
    EXPECT_EQ(e.wait_for_prefix("bestmove ").value_or(""), "bestmove 0000");
    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
}

TEST(UciSession, ClosedInputEndsTheEngineCleanly) {
    EngineProcess e;
    e.send("isready");
    EXPECT_TRUE(e.wait_for_prefix("readyok"));
    EXPECT_EQ(e.finish(), 0);
}

TEST(UciSession, MoveListStopsAtTheFirstMoveThatIsNotLegal) {
    EngineProcess e;
    // e1e3 is no king move; the g1f3 after it must not be played either, so
    // White is still to move after e2e4 e7e5.
    e.send("position startpos moves e2e4 e7e5 e1e3 g1f3");
    ASSERT_TRUE(e.skip_startup());
    EXPECT_EQ(e.next_line(5).value_or(""), "info string illegal move e1e3");
    e.send("go");
    std::string move = move_of(e.wait_for_prefix("bestmove "));
    EXPECT_TRUE(is_legal_text(START, {"e2e4", "e7e5"}, move)) << move;

    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
}

TEST(UciSession, BadFenKeepsThePreviousPositionAndSaysSo) {
    EngineProcess e;
    e.send("position startpos moves e2e4");
    e.send("position fen 8/8/8/8/8/8/8/8 w - -");
    EXPECT_EQ(e.wait_for_prefix("info string illegal FEN").value_or(""),
              "info string illegal FEN 8/8/8/8/8/8/8/8 w - -, position unchanged");
    e.send("position fen rnbqkbnr/ppppXppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1 moves e2e4");
    EXPECT_TRUE(e.wait_for_prefix("info string illegal FEN rnbqkbnr/ppppXppp/"));
    e.send("position fen");
    EXPECT_TRUE(e.wait_for_prefix("info string illegal FEN"));
    e.send("go");
    std::string move = move_of(e.wait_for_prefix("bestmove "));
    EXPECT_TRUE(is_legal_text(START, {"e2e4"}, move)) << move;
    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
}

TEST(UciSession, AGameOfTwoThousandMovesIsReadWhole) {
    // Knights out and back for 4 001 plies, a line of 20 000 bytes: Black
    // is to move at the end, and the move must be legal there. The game is
    // long drawn by repetition, which changes nothing for the front end.
    std::string line = "position startpos moves";
    std::vector<std::string> moves;
    const char* cycle[] = {"g1f3", "g8f6", "f3g1", "f6g8"};
    for (int ply = 0; ply < 4001; ply++) {
        moves.push_back(cycle[ply % 4]);
        line += std::string(" ") + cycle[ply % 4];
    }
    ASSERT_GT(line.size(), 16000u);
    EngineProcess e;
    ASSERT_TRUE(e.skip_startup());
    e.send(line);
    e.send("go depth 3");
    std::string move = move_of(e.wait_for_prefix("bestmove "));
    EXPECT_TRUE(is_legal_text(START, moves, move)) << move;
    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
    for (auto& l : e.lines()) EXPECT_EQ(l.find("illegal move"), std::string::npos) << l;
}

TEST(UciSession, ALineOverTwoMegabytesIsRefusedWithANote) {
    EngineProcess e;
    ASSERT_TRUE(e.skip_startup());
    // Past 2 MiB the line holds e7e5 and an isready: neither may act.
    std::string line = "position startpos moves e2e4" + std::string(1 << 21, ' ') + "e7e5 isready";
    e.send("position startpos moves d2d4");
    e.send(line);
    EXPECT_EQ(e.wait_for_prefix("info string input line").value_or(""),
              "info string input line longer than 2097151 bytes ignored");
    e.send("go depth 3");
    std::string move = move_of(e.wait_for_prefix("bestmove "));
    EXPECT_TRUE(is_legal_text(START, {"d2d4"}, move)) << move;
    for (auto& l : e.lines()) EXPECT_NE(l, "readyok");
    e.send("isready");
    EXPECT_EQ(e.next_line().value_or(""), "readyok");
    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
}

TEST(UciSession, PonderWaitsForPonderhitOrStop) {
    EngineProcess e;
    e.send("position startpos");
    e.send("go ponder");
    // The pondering search is over at once, but its result stays back.
    e.send("isready");
    ASSERT_TRUE(e.wait_for_prefix("readyok"));
    for (auto& l : e.lines()) EXPECT_FALSE(starts_with(l, "bestmove")) << l;
    e.send("ponderhit");
    std::string move = move_of(e.wait_for_prefix("bestmove "));
    EXPECT_TRUE(is_legal_text(START, {}, move)) << move;

    e.send("go ponder wtime 5000 btime 5000");
    e.send("stop");
    move = move_of(e.wait_for_prefix("bestmove "));
    EXPECT_TRUE(is_legal_text(START, {}, move)) << move;
    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
}

TEST(UciSession, QuitWhilePonderingStillPrintsTheResult) {
    EngineProcess e;
    e.send("go ponder");
    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
    int bestmoves = 0;
    for (auto& l : e.lines()) bestmoves += starts_with(l, "bestmove ");
    EXPECT_EQ(bestmoves, 1);
}

static int count_prefix(const std::vector<std::string>& lines, const std::string& prefix) {
    int n = 0;
    for (auto& l : lines) n += starts_with(l, prefix);
    return n;
}

TEST(UciSession, StateChangingCommandDuringASearchEndsItThenIsCarriedOut) {
    // Each command arrives while a search runs: the search answers at once
    // with a legal move, the command takes effect, and the engine goes on.
    struct Case {
        const char* command;
        const char* then;    // sent after the command
        const char* expect;  // a line the command's effect prints
    };
    const Case cases[] = {
        {"setoption name Hash value 16", "isready", "info string allocated 16 Mbytes for hash table"},
        {"position startpos moves e2e4", "go depth 3", "bestmove "},
        {"go depth 3", "isready", "readyok"},
        {"ucinewgame", "isready", "readyok"},
    };
    for (const char* search : {"go depth 40", "go infinite", "go ponder"}) {
        for (const Case& c : cases) {
            EngineProcess e;
            ASSERT_TRUE(e.skip_startup());
            e.send("position startpos");
            e.send(search);
            e.send(c.command);
            std::string move = move_of(e.wait_for_prefix("bestmove ", 10));
            EXPECT_TRUE(is_legal_text(START, {}, move)) << search << " / " << c.command << ": " << move;
            e.send(c.then);
            EXPECT_TRUE(e.wait_for_prefix(c.expect, 10)) << search << " / " << c.command;
            e.send("isready");
            EXPECT_TRUE(e.wait_for_prefix("readyok", 10)) << search << " / " << c.command;
            e.send("quit");
            EXPECT_EQ(e.finish(), 0) << search << " / " << c.command;
            // One bestmove per go: the first search's, and the second's
            // where the case starts one.
            const int gos = 1 + (std::string(c.command).rfind("go", 0) == 0) +
                            (std::string(c.then).rfind("go", 0) == 0);
            EXPECT_EQ(count_prefix(e.lines(), "bestmove "), gos) << search << " / " << c.command;
            EXPECT_EQ(count_prefix(e.lines(), "unexpected command"), 0);
        }
    }
}

TEST(UciSession, TwoGoInARowGetTwoBestmoves) {
    EngineProcess e;
    e.send("position startpos moves d2d4");
    e.send("go depth 40");
    e.send("go depth 2");
    std::string first = move_of(e.wait_for_prefix("bestmove "));
    std::string second = move_of(e.wait_for_prefix("bestmove "));
    EXPECT_TRUE(is_legal_text(START, {"d2d4"}, first)) << first;
    EXPECT_TRUE(is_legal_text(START, {"d2d4"}, second)) << second;
    e.send("isready");
    EXPECT_TRUE(e.wait_for_prefix("readyok"));
    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
}

TEST(UciSession, ABareGoAfterAFixedLimitPlaysOnTheNewGameClock) {
    for (const char* fixed : {"go depth 2", "go nodes 1000", "go movetime 50"}) {
        EngineProcess e;
        ASSERT_TRUE(e.skip_startup());
        e.send("position startpos");
        e.send(fixed);
        ASSERT_TRUE(e.wait_for_prefix("bestmove ")) << fixed;
        // With a minute on the clock a move takes a few seconds, not the
        // 10 000 000 s the fixed limit stood for.
        e.send("go");
        EXPECT_TRUE(e.wait_for_prefix("bestmove ", 15)) << fixed;
        e.send("quit");
        EXPECT_EQ(e.finish(), 0);
    }
}

TEST(UciSession, SearchmovesRestrictsTheRoot) {
    EngineProcess e({"-use_hce"});
    ASSERT_TRUE(e.skip_startup());
    e.send("position startpos");
    // A word that is no legal move here is passed over.
    e.send("go depth 6 searchmoves a2a3 e7e5 h2h3");
    std::string move = move_of(e.wait_for_prefix("bestmove "));
    EXPECT_TRUE(move == "a2a3" || move == "h2h3") << move;
    e.send("go depth 6 searchmoves g2g4");
    EXPECT_EQ(move_of(e.wait_for_prefix("bestmove ")), "g2g4");
    // The next go without the list searches every move again: in the
    // mate position only the mate is chosen.
    e.send("position fen 6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1");
    e.send("go depth 4 searchmoves g2g3");
    EXPECT_EQ(move_of(e.wait_for_prefix("bestmove ")), "g2g3");
    e.send("go depth 4");
    EXPECT_EQ(move_of(e.wait_for_prefix("bestmove ")), "d1d8");
    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
}

TEST(UciSession, GoMateEndsOnceTheMateIsProven) {
    EngineProcess e({"-use_hce"});
    ASSERT_TRUE(e.skip_startup());
    // Two rooks mate in two; the search stops with the mate, no clock given.
    e.send("position fen 7k/8/8/8/8/8/R7/1R4K1 w - - 0 1");
    e.send("go mate 2");
    auto mate = e.wait_for([](const std::string& l) { return l.find(" score mate 2 ") != std::string::npos; }, 10);
    ASSERT_TRUE(mate);
    std::string move = move_of(e.wait_for_prefix("bestmove ", 10));
    EXPECT_EQ(mate->substr(mate->find(" pv ") + 4, 4), move);
    // Without such a mate the search still answers, its depth capped.
    e.send("position startpos");
    e.send("go mate 2");
    move = move_of(e.wait_for_prefix("bestmove ", 20));
    EXPECT_TRUE(is_legal_text(START, {}, move)) << move;
    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
}

TEST(UciSession, DrawnRootStillGetsItsBestmove) {
    EngineProcess e;
    // Threefold repetition: the draw is announced, and the search still answers.
    const std::vector<std::string> moves = {"g1f3", "g8f6", "f3g1", "f6g8", "g1f3", "g8f6", "f3g1", "f6g8"};
    e.send("position startpos moves g1f3 g8f6 f3g1 f6g8 g1f3 g8f6 f3g1 f6g8");
    e.send("go movetime 200");
    ASSERT_TRUE(e.wait_for([](const std::string& l) { return l == "info string Draw!"; }));
    std::string move = move_of(e.wait_for_prefix("bestmove "));
    EXPECT_TRUE(is_legal_text(START, moves, move)) << move;
    // The fifty-move rule: half-move clock 100, and no mate on the board.
    e.send("position fen 7k/8/5K2/8/8/8/8/6Q1 b - - 100 80");
    e.send("go movetime 100");
    ASSERT_TRUE(e.wait_for([](const std::string& l) { return l == "info string Draw!"; }));
    EXPECT_EQ(move_of(e.wait_for_prefix("bestmove ")), "h8h7");
    // A go infinite on a drawn root waits for stop like any other.
    e.send("position startpos moves g1f3 g8f6 f3g1 f6g8 g1f3 g8f6 f3g1 f6g8");
    e.send("go infinite");
    e.send("isready");
    ASSERT_TRUE(e.wait_for_prefix("readyok"));
    e.send("stop");
    move = move_of(e.wait_for_prefix("bestmove "));
    EXPECT_TRUE(is_legal_text(START, moves, move)) << move;
    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
}

TEST(UciSession, GoInfiniteHoldsItsResultUntilStop) {
    // Searches that end by themselves: a mate in one found at once, and a
    // stalemated side without a move.
    struct Case {
        const char* position;
        const char* expect;
    };
    const Case cases[] = {
        {"position fen 7k/8/5K2/8/8/8/8/6Q1 w - - 0 1", "bestmove g1g7"},
        {"position fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", "bestmove 0000"},
    };
    for (const Case& c : cases) {
        EngineProcess e;
        ASSERT_TRUE(e.skip_startup());
        e.send(c.position);
        e.send("go infinite");
        // Time for the search to end by itself; its result must wait.
        e.send("isready");
        ASSERT_TRUE(e.wait_for_prefix("readyok"));
        EXPECT_FALSE(e.wait_for_prefix("bestmove", 1.0)) << c.position;
        e.send("stop");
        EXPECT_EQ(e.wait_for_prefix("bestmove ").value_or("").substr(0, strlen(c.expect)), c.expect) << c.position;
        e.send("quit");
        EXPECT_EQ(e.finish(), 0);
        EXPECT_EQ(count_prefix(e.lines(), "bestmove "), 1) << c.position;
    }
}

TEST(UciSession, StopAndStrayCommandsWhileIdleDoNothing) {
    EngineProcess e;
    e.send("stop");
    e.send("ponderhit");
    e.send("banana split");
    e.send("   ");
    e.send("\r");
    e.send("isready");
    EXPECT_EQ(e.wait_for([](const std::string& l) { return !is_startup_line(l); }).value_or(""),
              "readyok");
    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
}
