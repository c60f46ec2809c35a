// The tree search: node routine, move loop, quiescence and the root, with
// what the main worker shares with the time check while it searches.
#pragma once
#include <atomic>
#include "thread.h"

// The score scale, from the side to move's view. A mate n plies from the
// root scores MATE - n and being mated n - MATE; the root is ply 1.
constexpr int MATE = 10000;
constexpr int SCORE_INFINITE = MATE + 1;     // beyond every score: the open window
constexpr int SCORE_NONE = -SCORE_INFINITE;  // no score yet
constexpr int MATED_AT_ROOT = 1 - MATE;      // in check at the root with no move
// Scores at or beyond MATE_SHOWN are reported as "mate n".
constexpr int MATE_SHOWN = 9900;
// Scores at or beyond MATE_BOUND are mate distances: they travel up the tree
// unclipped so that the distance stays exact.
constexpr int MATE_BOUND = 8000;
// A best score at or below -LOST_BOUND is a mate against us: until a move
// does better, no move may be pruned.
constexpr int LOST_BOUND = 9100;
// Scores at or beyond DECISIVE are decided results (tablebase wins, mates);
// the margin prunings do not work across them.
constexpr int DECISIVE = 3000;
// What a tablebase win adds to the static value (a loss subtracts it).
constexpr int TB_WIN_BONUS = 3500;

// Node kinds: the PV, a node expected to fail high (cut) and one expected
// to fail low (all). The children of a cut node are all-nodes and the other
// way round, so negation gives the child's kind.
enum NodeType : int { NODE_ALL = -1, NODE_PV = 0, NODE_CUT = 1 };
constexpr NodeType child_node(NodeType t) { return NodeType(-t); }

// Written by the main worker, read by the time check on the input thread.
struct SharedResult {
    Relaxed<int> main_depth;      // iteration the main worker is searching
    Relaxed<int> depth;           // depth of the last published result
    Relaxed<int> score;
    Relaxed<Move> best;
    Relaxed<int> change_depth;    // depth at which the best move last changed
    Relaxed<int16_t> depth_score[MAX_PLY + 2];
    Move depth_move[MAX_PLY + 2];
    Move pv[MAX_PLY + 2];         // indexed by ply: pv[1] best move, pv[2] ponder move
    Relaxed<bool> single_reply;
    Relaxed<int> root_tb_result;  // TB_NONE when the root is not in the tables
    float iteration_time;
    int iteration_depth;
    uint64_t nodes_per_depth[MAX_PLY + 2];  // under search_lock
};

extern SharedResult shared;

int search(Position& p, int side, int ply, int depth, int alpha, int beta, NodeType node_type, Move* line);
int search_moves(Position& p, int side, int ply, int depth, int alpha, int beta, NodeType node_type, Move* line);
int quiesce(Position& p, int side, int ply, int depth, int alpha, int beta, NodeType node_type, Move* line);
// Whether a move does not lose material by a cheap exchange estimate.
bool not_losing(const Position& p, const MoveEntry& e);
// Capture, check, promotion and advanced-pawn flags of a move not yet made.
uint16_t classify_move(const Position& p, const MoveEntry& e);

// Piece values of the cheap exchange tests: a capture of an equal or
// bigger piece never loses.
inline constexpr int exchange_value[8] = {0, 1, 3, 3, 5, 10, 99, 0};

void root_search(int index);
void publish_best(SearchThread& t);
void print_info(int index, int pv_index, int depth, int score, const Move* line);
// Sums of the counters over the threads that are past depth 1.
struct Counters {
    uint64_t nodes, tb_hits, probes, hits;
};
Counters sum_counters();
