#include "legal_texts.h"
#include <algorithm>
#include "../support/test_position.h"

static std::string coordinate(Move m, const Position& p) {
    std::string s = std::string(square_names[move_from(m)]) + square_names[move_to(m)];
    bool castle = (m & FLAG_MASK) && piece_type(p.board[move_from(m)]) == KING;
    if (!castle && (m & FLAG_MASK)) s += "qnbr"[promo_type(m) == QUEEN ? 0 : promo_type(m) == KNIGHT ? 1 : promo_type(m) == BISHOP ? 2 : 3];
    return s;
}

std::vector<std::string> legal_texts(const std::string& fen, const std::vector<std::string>& moves) {
    TestBoard board(fen.c_str());
    for (auto& text : moves) {
        bool played = false;
        for (Move m : board.legal_moves())
            if (coordinate(m, board.pos()) == text) {
                make_move(board.pos(), m);
                played = true;
                break;
            }
        // Only legality is asked here, so a long game starts afresh from its
        // current position before the board's move history is full.
        if (board.block->game.depth > MAX_HISTORY - 10 && !board.set(board.fen(true).c_str())) return {};
        if (!played) return {};
    }
    std::vector<std::string> out;
    for (Move m : board.legal_moves()) out.push_back(coordinate(m, board.pos()));
    return out;
}

bool is_legal_text(const std::string& fen, const std::vector<std::string>& moves, const std::string& move) {
    auto all = legal_texts(fen, moves);
    return std::find(all.begin(), all.end(), move) != all.end();
}
