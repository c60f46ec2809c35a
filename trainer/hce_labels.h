// Positions labelled by the hand-crafted evaluation, for teaching a network
// what that evaluation knows before (and while) it learns from searched
// scores. Static scores cost a microsecond where a searched score costs a
// few milliseconds, so the labelled set can be many times larger and more
// varied than the self-play data: every game position is the start of
// short random walks, and each walk's last position is kept when it is
// quiet.
#pragma once
#include <cstdint>
#include <vector>
#include "tools/training_data.h"

struct Position;
struct SearchThread;

struct LabelConfig {
    int walks = 8;      // random walks from each record's position
    int max_plies = 6;  // each walk plays 1 to max_plies random legal moves
    uint32_t seed = 1;
    int threads = 2;
    // Above 0: each position is labelled with a search of this depth
    // (the engine's search with the evaluation set up in settings) instead
    // of the static score.
    int depth = 0;
    // Only blocks b with b % parts == part, so that several processes can
    // share a file.
    int part = 0;
    int parts = 1;
};

// True when a static score can stand for the position: the side to move
// is not in check, has no promotion to play, and no capture that wins more
// than 50 centipawns by exchange.
bool quiet_by_exchange(const Position& p);
// The hand-crafted static score for the side to move (the thread's
// position); false for an ending the engine settles by rule, where no
// static evaluation is asked.
bool hce_label(SearchThread& t, int& score);
// The score of a fixed-depth search of the position for the side to move;
// false for a rule ending or a position with no move. Needs the process
// set up for searching (tables, hash, game block).
bool searched_label(const Position& p, int depth, int& score);
// How many of count records fall in the configuration's share.
int64_t share_records(int64_t count, const LabelConfig& config);
// Walks from every record and labels the quiet positions they reach. The
// same records, configuration and seed give the same output, whatever the
// thread count (searched labels: in the same process state, since the
// search's table carries over from one label to the next).
std::vector<FeatureRecord> hce_labelled_walks(const TrainingRecord* records, int64_t count, const LabelConfig& config);
