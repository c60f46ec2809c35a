#include "game.h"
#include <cstring>
#include "../position/makemove.h"

SearchThread* game_block = nullptr;

// A search pushes up to MAX_PLY records on top of the game's, so the game
// itself must leave that much of the stack free.
constexpr int GAME_HISTORY_LIMIT = MAX_HISTORY - MAX_PLY - 8;

// Only the positions since the last capture or pawn move can recur, so the
// records older than the half-move clock are dropped to make room. Without
// this a long enough move list would write past the end of the stack.
static void drop_old_history(SearchThread& g) {
    int keep = g.pos.fifty + 1;
    if (keep > g.history_depth) keep = g.history_depth;
    if (keep > GAME_HISTORY_LIMIT / 2) keep = GAME_HISTORY_LIMIT / 2;
    int drop = g.history_depth - keep;
    memmove(g.history, g.history + drop, sizeof(UndoRecord) * keep);
    g.history_depth = int16_t(keep);
    g.ply = int16_t(g.ply - drop < 1 ? 1 : g.ply - drop);
}

void play_game_move(Move m) {
    SearchThread& g = *game_block;
    if (g.history_depth >= GAME_HISTORY_LIMIT) drop_old_history(g);
    make_move(g.pos, m);
    if (g.history_depth < MAX_HISTORY) g.history[g.history_depth].move = 0;
}

void clear_game_record() {
    SearchThread& g = *game_block;
    g.history_depth = 0;
    g.ply = 1;
    g.last_move = 0;
    g.history[0].move = 0;
}

bool set_game_position(const char* fen) {
    SearchThread& g = *game_block;
    Position saved = g.pos;
    UndoRecord first[2] = {g.history[0], g.history[1]};
    int16_t depth = g.history_depth, ply = g.ply;
    Move last = g.last_move;
    if (set_fen(g.pos, fen) == 0) return true;
    g.pos = saved;
    g.history[0] = first[0];
    g.history[1] = first[1];
    g.history_depth = depth;
    g.ply = ply;
    g.last_move = last;
    return false;
}
