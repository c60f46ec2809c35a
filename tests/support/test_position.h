// Helpers shared by the position tests: one-time table set-up and a
// thread block that owns a position.
#pragma once
#include <memory>
#include <string>
#include <vector>
#include "position/attacks.h"
#include "position/makemove.h"
#include "position/movegen.h"
#include "position/zobrist.h"
#include "eval/network.h"
#include "search/thread.h"

inline void init_engine_tables() {
    static bool done = false;
    if (done) return;
    done = true;
    init_tables();
    init_zobrist();
}

struct TestBoard {
    std::unique_ptr<SearchThread> block;
    TestBoard() : block(new SearchThread()) {
        init_engine_tables();
        attach_position(*block);
        setup_move_lists(*block);
    }
    explicit TestBoard(const char* fen) : TestBoard() { set(fen); }
    // The network state a board's evaluations made belongs to its block.
    ~TestBoard() { release_network_state(block->eval); }
    TestBoard(const TestBoard&) = delete;
    TestBoard& operator=(const TestBoard&) = delete;
    Position& pos() { return block->pos; }
    bool set(const char* fen) { return set_fen(block->pos, fen) == 0; }
    std::string fen(bool counters = false) {
        char buf[128];
        get_fen(block->pos, buf, counters);
        return buf;
    }
    std::vector<Move> legal_moves() {
        MoveEntry list[MAX_MOVES];
        gen_all(block->pos, list);
        std::vector<Move> out;
        for (MoveEntry* e = list; e->move != MOVE_END; e++)
            if (is_legal(block->pos, block->pos.side, e->move)) out.push_back(e->move);
        return out;
    }
};

inline int sq(const char* name) { return (name[0] - 'a') + 8 * (name[1] - '1'); }

// Checks every invariant that ties the board, the bitboards, the counts,
// the king squares and the keys together; returns an empty text when sound.
std::string position_problem(const Position& p);
