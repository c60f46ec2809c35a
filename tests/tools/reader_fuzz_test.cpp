// Randomised damaged input for the PGN and EPD readers and the tools on
// them: every field stays inside its buffer and terminated, and the game
// board stays sound. Run under the sanitizers (VORN_SANITIZE) this also
// catches any read or write past a buffer. The seeds are fixed.
#include <gtest/gtest.h>
#include <cstring>
#include <memory>
#include <random>
#include "../shell/engine_process.h"
#include "../shell/engine_state.h"
#include "../support/test_position.h"
#include "position/movegen.h"
#include "tools/epd.h"
#include "tools/pgn.h"
#include "tools/pgn_tools.h"
#include "tools_support.h"

namespace {

const char* const shared_pgns[] = {"pgn/kasparov-deep-blue-1997.pgn", "pgn/cutechess-fischerrandom.pgn",
                                   "pgn/utf8-bom.pgn", "pgn/chessbase-empty-line.pgn", "pgn/anastasian-lewis.pgn"};

// Pieces of damage typical of real files: brackets and quotes that open
// or close too much, line ends of every kind, long words, odd bytes.
const char* const damage[] = {"{", "}", "(", ")", "[", "]", "\"", "\r\n", "\n\n", "\xEF\xBB\xBF", ";", "$1",
                              "{+M3/12}", "{-0.35/9 book}", "[FEN \"", "[Termination \"abandoned\"]", "1-0",
                              "O-O-O", "exd8=Q+", "e8=", "Nbd7#", "Qh4xe1", "0-1 [Event \"x\"]", "{ ( } )"};

std::string mutate(std::mt19937& rng, std::string s, int edits) {
    for (int i = 0; i < edits; i++) {
        size_t at = s.empty() ? 0 : rng() % (s.size() + 1);
        switch (rng() % 6) {
            case 0: s.insert(at, damage[rng() % (sizeof damage / sizeof *damage)]); break;
            case 1: s.insert(at, std::string(1 + rng() % 3000, "aZ9 =/"[rng() % 6])); break;
            case 2: if (at < s.size()) s.erase(at, 1 + rng() % 40); break;
            case 3: if (at < s.size()) s[at] = char(rng() % 255 + 1); break;
            case 4: s = s.substr(0, at); break;  // a truncated file
            default: s.insert(at, 1, char(rng() % 255 + 1)); break;
        }
    }
    return s;
}

bool terminated(const char* field, size_t size) { return memchr(field, 0, size) != nullptr; }

bool board_is_sound(const Position& p) {
    int kings[2] = {0, 0};
    for (int sq = 0; sq < 64; sq++) {
        int code = p.board[sq];
        if (code && (piece_type(code) < PAWN || piece_type(code) > KING || code > 14)) return false;
        if (piece_type(code) == KING) kings[piece_colour(code)]++;
    }
    return kings[0] == 1 && kings[1] == 1;
}

}  // namespace

TEST(ReaderFuzz, DamagedPgnGamesStayInsideTheRecord) {
    std::mt19937 rng(20260);
    auto game = std::make_unique<PgnGame>();
    memset(game.get(), 0, sizeof(PgnGame));
    for (const char* file : shared_pgns) {
        std::string text = read_file(data_file(file));
        ASSERT_FALSE(text.empty()) << file;
        for (int round = 0; round < 150; round++) {
            std::string damaged = mutate(rng, text, 1 + int(rng() % 12));
            parse_pgn_game(*game, damaged.c_str());
            ASSERT_GE(game->move_count, 0);
            ASSERT_LE(game->move_count, PGN_MAX_MOVES);
            ASSERT_TRUE(terminated(game->start_fen, sizeof game->start_fen));
            for (int i = 0; i < game->move_count; i++) {
                ASSERT_TRUE(terminated(game->moves[i], sizeof game->moves[i])) << i;
                ASSERT_LE(strlen(game->moves[i]), size_t(PGN_MOVE_CHARS));
                ASSERT_GE(game->scores[i], -PGN_MATE_SCORE);
                ASSERT_LE(game->scores[i], PGN_MATE_SCORE);
            }
            // Tokens never run past the end of the text.
            PgnToken t;
            const char* end = damaged.c_str() + damaged.size();
            for (const char* s = damaged.c_str(); (s = next_pgn_token(s, t)) != nullptr;) {
                ASSERT_GE(t.length, 0);
                ASSERT_LE(t.start + t.length, end);
            }
        }
    }
}

TEST(ReaderFuzz, DamagedEpdLinesStayInsideTheirFields) {
    std::mt19937 rng(7207);
    auto lines = file_lines(data_file("epd/bratko-kopec.epd"));
    auto more = file_lines(data_file("epd/endgame.epd"));
    lines.insert(lines.end(), more.begin(), more.end());
    ASSERT_FALSE(lines.empty());
    auto f = std::make_unique<EpdFields>();
    TestBoard b;
    for (int round = 0; round < 3000; round++) {
        std::string line = mutate(rng, lines[rng() % lines.size()], 1 + int(rng() % 5));
        line = line.substr(0, line.find('\0'));
        parse_epd_line(line.c_str(), *f);
        for (const char* field : {f->ce, f->sc, f->gr, f->bm, f->am, f->id, f->c0})
            ASSERT_TRUE(terminated(field, EPD_FIELD_SIZE));
        ASSERT_TRUE(terminated(f->fen, sizeof f->fen));
        // Whatever the board reader makes of the FEN text is a sound board or a refusal.
        if (b.set(f->fen)) {
            ASSERT_TRUE(board_is_sound(b.pos())) << line;
        }
    }
}

class ReaderFuzzOnTheBoard : public EngineState {};

TEST_F(ReaderFuzzOnTheBoard, LoadingAndScanningDamagedFilesKeepTheBoardSound) {
    std::mt19937 rng(5150);
    TempDir dir;
    const std::string pgn = dir.file("d.pgn"), epd = dir.file("d.epd");
    for (int round = 0; round < 40; round++) {
        std::string text = read_file(data_file(shared_pgns[rng() % (sizeof shared_pgns / sizeof *shared_pgns)]));
        write_file(pgn, mutate(rng, text, 1 + int(rng() % 10)));
        testing::internal::CaptureStdout();
        load_game(pgn.c_str(), round % 2 ? "Event" : "White");
        int games = scan_pgn_file(pgn.c_str(), epd.c_str());
        testing::internal::GetCapturedStdout();
        ASSERT_GE(games, 0);
        ASSERT_TRUE(board_is_sound(game_position())) << round;
        MoveEntry list[MAX_MOVES];
        gen_all(game_position(), list);  // the board holds together for move generation
        for (auto& l : file_lines(epd)) {
            TestBoard b;
            ASSERT_TRUE(b.set(l.substr(0, l.find(" ce ")).c_str())) << l;
        }
    }
}

TEST(ReaderFuzz, TheToolsTakeDamagedSuitesAndRecordFiles) {
    std::mt19937 rng(99);
    TempDir dir;
    std::string suite;
    auto lines = file_lines(data_file("epd/bratko-kopec.epd"));
    for (int i = 0; i < 30; i++) suite += mutate(rng, lines[rng() % lines.size()], 1 + int(rng() % 3)) + "\n";
    for (char& c : suite)
        if (c == 0) c = ' ';
    write_file(dir.file("s.epd"), suite + " ce 1; gr 0.5;");
    std::vector<std::string> out;
    EXPECT_EQ(run_engine({"-quiet", "-use_hce", "-d", "1", "-anepd", "s.epd"}, {}, out, dir.path()), 0);
    EXPECT_EQ(run_engine({"-quiet", "-epd2bin", "s.epd"}, {}, out, dir.path()), 0);
    std::string bytes;
    for (int i = 0; i < 40 * 50 + 13; i++) bytes += char(rng() % 256);
    write_file(dir.file("r.bin"), bytes);
    for (const char* tool : {"-bin2epd", "-bin2ptb", "-filtertraindata", "-tdstats"})
        EXPECT_EQ(run_engine({"-quiet", tool, "r.bin"}, {}, out, dir.path()), 0) << tool;
}
