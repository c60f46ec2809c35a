// Randomised malformed input against the board reader and the command
// reader; after every step the game board must still be sound. The seed
// is fixed so that a failure can be replayed.
#include <unistd.h>
#include <random>
#include "../support/test_position.h"
#include "engine_process.h"
#include "engine_state.h"
#include "position/makemove.h"
#include "position/movegen.h"

namespace {

const char* const sound_fens[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "r2q1rk1/pP1p2pp/Q4n2/bbp1p3/Np6/1B3NBn/pPPP1PPP/R3K2R b KQ - 0 1",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
    "1r4kr/8/8/8/8/8/8/1R4KR w KQkq - 0 1",
    "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1",
};

const char fen_alphabet[] = "pnbrqkPNBRQK12345678/ wb-KQkqabcdefgh09/  ";

std::string mutate(std::mt19937& rng, std::string s) {
    int edits = 1 + int(rng() % 6);
    for (int i = 0; i < edits; i++) {
        size_t at = s.empty() ? 0 : rng() % (s.size() + 1);
        char c = rng() % 8 == 0 ? char(rng() % 256) : fen_alphabet[rng() % (sizeof fen_alphabet - 1)];
        switch (rng() % 4) {
            case 0: s.insert(s.begin() + long(at), c); break;
            case 1: if (at < s.size()) s.erase(at, 1); break;
            case 2: if (at < s.size()) s[at] = c; break;
            default: s = s.substr(0, at); break;
        }
    }
    // The text is handed on as a C string, so it ends at the first zero byte.
    return s.substr(0, s.find('\0'));
}

// Plays every legal move and takes it back, checking the board each time.
void check_moves(TestBoard& b) {
    std::string before = b.fen(true);
    for (Move m : b.legal_moves()) {
        make_move(b.pos(), m);
        ASSERT_EQ(position_problem(b.pos()), "") << before << " after move " << m;
        unmake_move(b.pos());
        ASSERT_EQ(b.fen(true), before);
    }
}

const char* const words[] = {
    "position", "startpos", "fen", "moves", "go", "setoption", "name", "value", "ponder", "wtime", "btime",
    "winc", "binc", "movestogo", "depth", "nodes", "movetime", "infinite", "ucinewgame", "isready", "stop",
    "ponderhit", "Hash", "Threads", "OwnBook", "MultiPV", "UCI_Elo", "UCI_Opponent", "Contempt", "Selectivity",
    "SyzygyProbeDepth6", "Clear", "UCI_Chess960", "Target_NPS", "Speed", "Throttle", "[%]", "Log", "true",
    "false", "e2e4", "e7e5", "e1g1", "e1h1", "e8c8", "a7a8q", "g1f3", "b8c6", "0000", "-1", "99999999999",
    "3000", "1", "0", "-", "w", "b", "KQkq", "8/8/8/8/8/8/8/8", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR",
    "4k3/8/8/8/8/8/8/4K3", "r3k2r/8/8/8/8/8/8/R3K2R", "debug", "uci", "_show", ""};

std::string random_word(std::mt19937& rng) {
    if (rng() % 6) return words[rng() % (sizeof words / sizeof words[0])];
    std::string w;
    int n = int(rng() % 12);
    for (int i = 0; i < n; i++) w += char(1 + rng() % 255);
    return w;
}

std::string random_command(std::mt19937& rng) {
    static const char* const heads[] = {"position startpos moves", "position fen", "go", "setoption name",
                                        "position", "ucinewgame", "stop", "ponderhit"};
    std::string line = heads[rng() % (sizeof heads / sizeof heads[0])];
    int n = int(rng() % 14);
    for (int i = 0; i < n; i++) line += (rng() % 10 ? " " : "  ") + random_word(rng);
    if (rng() % 20 == 0) line += std::string(rng() % 6000, 'x');
    return line;
}

class Fuzz : public EngineState {
protected:
    void SetUp() override {
        EngineState::SetUp();
        // Log and configuration options act on files in the working directory.
        ASSERT_EQ(chdir(dir.path().c_str()), 0);
    }
    void TearDown() override {
        EngineState::TearDown();
        ASSERT_EQ(chdir("/"), 0);
    }
    TempDir dir;
};

}  // namespace

TEST_F(Fuzz, MalformedFensAreRefusedOrGiveASoundBoard) {
    std::mt19937 rng(20240611);
    TestBoard b;
    int accepted = 0;
    for (int i = 0; i < 4000; i++) {
        std::string text = mutate(rng, sound_fens[rng() % (sizeof sound_fens / sizeof sound_fens[0])]);
        // The game reader either takes the text and has a sound board, or
        // keeps whatever the game was.
        std::string game = game_fen();
        uint64_t key = game_position().key;
        if (set_game_position(text.c_str())) {
            ASSERT_EQ(position_problem(game_position()), "") << text;
        } else {
            ASSERT_EQ(game_fen(), game) << text;
            ASSERT_EQ(game_position().key, key) << text;
        }
        if (!b.set(text.c_str())) continue;
        accepted++;
        ASSERT_EQ(position_problem(b.pos()), "") << text;
        ASSERT_LE(b.pos().side, 1) << text;
        ASSERT_TRUE(b.pos().ep_square == NO_SQ || b.pos().ep_square < 64) << text;
        check_moves(b);
        if (HasFatalFailure()) return;
    }
    // The mutations must also reach the accepting paths, or this proves little
    // (fewer than before ranks had to be eight files wide: 277 of 4000).
    EXPECT_GT(accepted, 200);
}

TEST_F(Fuzz, MalformedCommandsKeepTheGameBoardSound) {
    std::mt19937 rng(77031);
    int searches = 0;
    for (int i = 0; i < 3000; i++) {
        std::string line = random_command(rng);
        handle_line(line.c_str());
        const Position& p = game_position();
        ASSERT_EQ(position_problem(p), "") << line;
        ASSERT_LE(p.side, 1) << line;
        ASSERT_GE(game_ply(), 0) << line;
        ASSERT_LT(game_ply(), MAX_HISTORY - MAX_PLY) << line;
        uint16_t state = load_state();
        if (state & (STATE_GO_WAITING | STATE_PONDER_WAITING)) {
            start_search(STATE_NORMAL, true, last_go_limits());
            searches++;
            if (search_result.best_move) {
                MoveEntry list[MAX_MOVES];
                gen_all(p, list);
                bool found = false;
                for (MoveEntry* e = list; e->move != MOVE_END; e++)
                    found |= e->move == search_result.best_move && is_legal(p, p.side, e->move);
                ASSERT_TRUE(found) << line;
            } else {
                ASSERT_TRUE(no_legal_move(p)) << line;
            }
        }
        store_state(0);
        settings.quit_requested = 0;
        output_mode.uci_mode = 1;
        sync_notation_style();
    }
    EXPECT_GT(searches, 100);
}
