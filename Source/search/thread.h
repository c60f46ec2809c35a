// The per-worker search block. Allocated once per worker index and reused
// by every search, so nothing here is allocated while searching.
#pragma once
#include <atomic>
#include "../eval/eval_state.h"
#include "../position/history.h"
#include "../position/position.h"
#include "../system/output.h"

// A value that one thread writes and others may read while it changes: a
// relaxed atomic, so the reader sees some whole value and there is no race.
template <class T>
struct Relaxed {
    std::atomic<T> v{};
    operator T() const { return v.load(std::memory_order_relaxed); }
    Relaxed& operator=(T x) {
        v.store(x, std::memory_order_relaxed);
        return *this;
    }
    // Only the owning thread writes, so load and store need no lock prefix.
    void operator++(int) { *this = T(*this + 1); }
    Relaxed& operator+=(T x) { return *this = T(*this + x); }
};

constexpr int MAX_PLY = 81;
constexpr int MOVES_PER_PLY = MAX_MOVES;
constexpr int MAX_THREADS = 512;

// Move classification flags of the move being searched.
constexpr uint16_t MOVE_CAPTURE = 1, MOVE_CHECK = 2, MOVE_PROMOTION = 4, MOVE_TO_SEVENTH = 8,
                   MOVE_TO_SIXTH = 16;

// Where the root's current move stands against the aspiration window.
enum RootState : uint8_t { ROOT_IN_WINDOW = 0, ROOT_FAILING_LOW = 1, ROOT_FAILING_HIGH = 2 };

struct PlyEntry {
    int16_t node_type;
    int16_t depth;
    int16_t eval;
    int16_t alpha, beta;
    int16_t in_check;
    int8_t threat_extension;
    uint16_t move_flags;
    int16_t moves_searched;
    int32_t tb_result;  // a TbResult: TB_NONE when not probed or not in the tables
    int16_t hash_score;
    int8_t hash_depth;
    Move hash_move;
    Move killer1, killer2, check_killer;
    uint8_t check_sq;  // square of a checking piece, 64 = not in check
    uint8_t picker_mode, picker_stage;
    MoveEntry* moves;    // start of this ply's block of the move buffer
    MoveEntry* current;  // next entry the picker looks at
    MoveEntry* end;      // terminator of the generated part
};

struct SearchThread {
    GameHistory game;  // the moves made on pos, from the game and the search
    PlyEntry plies[MAX_PLY + 2];
    MoveEntry move_buffer[MAX_PLY + 2][MOVES_PER_PLY];
    uint16_t history_table[16][64];
    Move counter_move[16][64], counter_move2[16][64], follow_up[16][64];
    Position pos;
    Move pv[MAX_PLY + 2];
    Relaxed<Move> best_move;
    Relaxed<int16_t> root_score;
    int16_t index;
    Relaxed<uint8_t> iteration_depth;
    Relaxed<uint8_t> root_state;  // a RootState
    Relaxed<uint8_t> improvement_depth;
    uint8_t seldepth;
    uint32_t seed;
    Relaxed<uint64_t> nodes, tb_hits, hash_probes, hash_hits;
    EvalState eval;
};

extern SearchThread* thread_table[MAX_THREADS];

// Guards worker-block creation, node statistics and the illegal-table-move
// report.
extern SpinLock search_lock;

// Makes the block's position its own: its moves are recorded in the
// block's history.
inline void attach_position(SearchThread& t) {
    t.pos.thread = &t;
    t.pos.history = &t.game;
}

// Points every ply's move list at its block of the move buffer.
void setup_move_lists(SearchThread& t);
// Copies the game block's position and history into block t for a search.
void copy_root(SearchThread& t, const SearchThread& from);
