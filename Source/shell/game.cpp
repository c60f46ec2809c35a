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
    if (keep > g.game.depth) keep = g.game.depth;
    if (keep > GAME_HISTORY_LIMIT / 2) keep = GAME_HISTORY_LIMIT / 2;
    int drop = g.game.depth - keep;
    memmove(g.game.records, g.game.records + drop, sizeof(UndoRecord) * keep);
    g.game.depth = int16_t(keep);
    g.game.ply = int16_t(g.game.ply - drop < 1 ? 1 : g.game.ply - drop);
}

void play_game_move(Move m) {
    SearchThread& g = *game_block;
    if (g.game.depth >= GAME_HISTORY_LIMIT) drop_old_history(g);
    make_move(g.pos, m);
    if (g.game.depth < MAX_HISTORY) g.game.records[g.game.depth].move = 0;
}

void clear_game_record() {
    SearchThread& g = *game_block;
    g.game.depth = 0;
    g.game.ply = 1;
    g.game.last_move = 0;
    g.game.records[0].move = 0;
}

bool set_game_position(const char* fen) {
    SearchThread& g = *game_block;
    Position saved = g.pos;
    UndoRecord first[2] = {g.game.records[0], g.game.records[1]};
    int16_t depth = g.game.depth, ply = g.game.ply;
    Move last = g.game.last_move;
    if (set_fen(g.pos, fen) == 0) return true;
    g.pos = saved;
    g.game.records[0] = first[0];
    g.game.records[1] = first[1];
    g.game.depth = depth;
    g.game.ply = ply;
    g.game.last_move = last;
    return false;
}
