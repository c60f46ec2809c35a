// Shared helpers of the tablebase tests: the shared table directory set up
// once, random legal positions of a given material, and probing a
// Position through the engine bridge.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "../shell/engine_process.h"
#include "../support/test_position.h"
#include "pyrrhic/tablebase.h"
#include "pyrrhic/tbprobe.h"

inline std::string syzygy_dir() { return std::string(VORN_DATA_DIR) + "/syzygy"; }
// The small pawnless five-man tables kept beside them (KQRvKR, KRNvKR).
inline std::string syzygy5_dir() { return std::string(VORN_DATA_DIR) + "/syzygy5"; }

// Scans the shared 3- and 4-man directory (again, if a test scanned another).
void use_shared_tables();

// Table names found in a directory ("KQvK", ...), sorted; the shared 3- and
// 4-man directory by default.
std::vector<std::string> shared_table_names(const std::string& dir = syzygy_dir());

// Small deterministic generator for positions.
struct Rng {
    uint64_t s;
    explicit Rng(uint64_t seed) : s(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint64_t next() {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return s;
    }
    int below(int n) { return int(next() % uint64_t(n)); }
};

// A random legal position of the material the name gives ("KRPvKB": the
// first side is white unless swap), the given side to move, no castling,
// no en passant. The side not to move is never in check.
std::string random_fen(const std::string& name, int side_to_move, bool swap, Rng& rng);

// WDL and DTZ of a board through the probing code; success 0 on failure.
int wdl_of(const Position& p, int& success);
int dtz_of(const Position& p, int& success);

// The WDL value one ply on: the best over the legal moves of the negated
// WDL after the move, with mate and stalemate as leaves. failed is set
// when a probe after a move fails.
int wdl_by_moves(Position& p, bool& failed);

// The DTZ value one ply on: a zeroing move (capture, pawn move) or a mate
// is worth 1 for a win (101 for a win the fifty-move rule spoils), other
// moves one more in size than the successor's DTZ; the winner takes the
// shortest win, the loser the longest loss. 0 when no move wins or loses.
int dtz_by_moves(Position& p, bool& failed);
bool zeroing(const Position& p, Move m);

// The legal move a root ranking result names, 0 when none matches.
Move ranking_move(Position& p, uint32_t result);

// Random positions of one table (count of them, both sides to move, both
// colours as the stronger side), each checked: WDL agrees with the best
// child (a win or loss exactly at the fifty-move boundary aside, which
// DTZ must then confirm), DTZ has the sign of WDL, is spoilt (above 100)
// exactly when WDL says so, and is explained by one ply of moves.
// Failures are reported through gtest; the tally comes back.
struct TableTally {
    int positions = 0, wins = 0, draws = 0, losses = 0, spoilt = 0;
    int capture_decided = 0;  // WDL probes answered by a capture into a smaller table
};
TableTally check_table(const std::string& name, int count, uint64_t seed);

// Both sides play the root ranking's move from won positions of the table
// until mate: the winner must keep the win class, the half-move clock never
// reach 100, and mate come within max_plies. Returns the games mated;
// promotions counts the promotions played, by piece (index 1 queen .. 4
// knight as the ranking codes them).
int convert_by_ranking(const std::string& name, int games, uint64_t seed, int promotions[5], int max_plies = 600);

// Legal moves of the board.
std::vector<Move> legal_moves(Position& p);
bool in_check(const Position& p);

// One go on a running engine: the lines up to and including bestmove, and
// the move.
struct Reply {
    std::vector<std::string> lines;
    std::string bestmove;
};
Reply go(EngineProcess& e, const std::string& position, const std::string& limits);
// The "info string TB result" line of a reply, empty when none.
std::string tb_line(const Reply& r);

// Self-play of the real executable from fen with the tables of path, a
// fixed depth a move: the ply at which the side to move is mated, or -1
// when the game ends otherwise (fifty-move rule, stalemate, max_plies, an
// illegal answer).
int play_out(const std::string& fen, int depth, const std::string& path, int max_plies = 120);
