#include "tb_support.h"
#include <dirent.h>
#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include "position/attacks.h"
#include "position/notation.h"
#include "../support/board_text.h"

void use_shared_tables() {
    init_engine_tables();
    tb_init(syzygy_dir().c_str());
}

std::vector<std::string> shared_table_names(const std::string& dir) {
    std::vector<std::string> names;
    DIR* d = opendir(dir.c_str());
    if (!d) return names;
    while (dirent* e = readdir(d)) {
        std::string f = e->d_name;
        if (f.size() > 5 && f.substr(f.size() - 5) == ".rtbw") names.push_back(f.substr(0, f.size() - 5));
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

std::string random_fen(const std::string& name, int side_to_move, bool swap, Rng& rng) {
    TestBoard b;
    for (;;) {
        char board[64];
        memset(board, 0, sizeof board);
        int colour = 0;
        bool ok = true;
        for (char c : name) {
            if (c == 'v') {
                colour = 1;
                continue;
            }
            int real = colour ^ (swap ? 1 : 0);
            char letter = real == 0 ? c : char(c - 'A' + 'a');
            int sq;
            int tries = 0;
            do {
                sq = rng.below(64);
                if (++tries > 1000) ok = false;
            } while (ok && (board[sq] || (c == 'P' && (sq < 8 || sq >= 56))));
            board[sq] = letter;
        }
        if (!ok) continue;
        std::string fen = placement_fen(board, 0);
        fen += side_to_move == WHITE ? " w - - 0 1" : " b - - 0 1";
        if (!b.set(fen.c_str())) continue;
        Position& p = b.pos();
        // Kings apart and the side that just moved not left in check.
        if (king_attacks[p.king_sq[0]] & bit(p.king_sq[1])) continue;
        if (is_attacked(p, p.king_sq[p.side ^ 1], p.side)) continue;
        return fen;
    }
}

int wdl_of(const Position& p, int& success) { return tb_probe_wdl(tb_position(p, p.fifty), success); }

int dtz_of(const Position& p, int& success) { return tb_probe_dtz(tb_position(p, p.fifty), success); }

std::vector<Move> legal_moves(Position& p) {
    MoveEntry list[MAX_MOVES];
    gen_all(p, list);
    std::vector<Move> out;
    for (MoveEntry* e = list; e->move != MOVE_END; e++)
        if (is_legal(p, p.side, e->move)) out.push_back(e->move);
    return out;
}

bool in_check(const Position& p) { return is_attacked(p, p.king_sq[p.side], p.side ^ 1); }

bool zeroing(const Position& p, Move m) {
    return piece_type(p.board[move_from(m)]) == PAWN || p.board[move_to(m)] != 0;
}

int wdl_by_moves(Position& p, bool& failed) {
    std::vector<Move> moves = legal_moves(p);
    if (moves.empty()) return in_check(p) ? -2 : 0;
    int best = -3;
    for (Move m : moves) {
        make_move(p, m);
        int s;
        int v = -wdl_of(p, s);
        unmake_move(p);
        if (!s) failed = true;
        if (v > best) best = v;
    }
    return best;
}

int dtz_by_moves(Position& p, bool& failed) {
    std::vector<Move> moves = legal_moves(p);
    if (moves.empty()) return in_check(p) ? -1 : 0;
    // Win and loss classes after a zeroing move: the child's WDL, negated.
    static const int zeroed[5] = {1, 101, 0, -101, -1};  // indexed by child WDL + 2
    int best_win = 0, worst_loss = 0;
    bool draw = false;
    for (Move m : moves) {
        bool z = zeroing(p, m);
        make_move(p, m);
        int s;
        int child_wdl = wdl_of(p, s);
        if (!s) failed = true;
        int v;
        if (z || (legal_moves(p).empty() && in_check(p))) {
            v = zeroed[child_wdl + 2];
        } else {
            int c = -dtz_of(p, s);
            if (!s) failed = true;
            v = c > 0 ? c + 1 : c < 0 ? c - 1 : 0;
        }
        unmake_move(p);
        if (v > 0 && (best_win == 0 || v < best_win)) best_win = v;
        if (v < 0 && v < worst_loss) worst_loss = v;
        draw |= v == 0;
    }
    if (best_win) return best_win;
    return draw ? 0 : worst_loss;
}

Reply go(EngineProcess& e, const std::string& position, const std::string& limits) {
    size_t before = e.lines().size();
    e.send(position);
    e.send("go " + limits);
    auto line = e.wait_for_prefix("bestmove", 60);
    Reply r;
    r.lines.assign(e.lines().begin() + long(before), e.lines().end());
    if (line) {
        size_t end = line->find(' ', 9);
        r.bestmove = line->substr(9, end == std::string::npos ? std::string::npos : end - 9);
    }
    return r;
}

std::string tb_line(const Reply& r) {
    for (const std::string& l : r.lines)
        if (starts_with(l, "info string TB result")) return l;
    return "";
}

int play_out(const std::string& fen, int depth, const std::string& path, int max_plies) {
    EngineProcess e;
    if (!e.skip_startup()) return -1;
    e.send("setoption name SyzygyPath value " + path);
    TestBoard b(fen.c_str());
    std::string moves;
    for (int ply = 0; ply < max_plies; ply++) {
        std::vector<Move> legal = legal_moves(b.pos());
        if (legal.empty()) return in_check(b.pos()) ? ply : -1;
        if (b.pos().fifty >= 100) return -1;
        Reply r = go(e, "position fen " + fen + (moves.empty() ? "" : " moves" + moves),
                     "depth " + std::to_string(depth));
        char text[16];
        snprintf(text, sizeof text, "%s", r.bestmove.c_str());
        Move m = 0;
        if (!parse_move(b.pos(), text, m)) return -1;
        make_move(b.pos(), m);
        moves += " " + r.bestmove;
    }
    return -1;
}

Move ranking_move(Position& p, uint32_t result) {
    static const int promo_pieces[5] = {0, QUEEN, ROOK, BISHOP, KNIGHT};
    const int promo = tb_result_promo(result);
    if (promo > 4) return 0;
    for (Move m : legal_moves(p)) {
        if (move_from(m) != tb_result_from(result) || move_to(m) != tb_result_to(result)) continue;
        if (promo && promo_type(m) != promo_pieces[promo]) continue;
        if (!promo && piece_type(p.board[move_from(m)]) == PAWN && (m & FLAG_MASK)) continue;
        return m;
    }
    return 0;
}

TableTally check_table(const std::string& name, int count, uint64_t seed) {
    TableTally t;
    TestBoard b;
    Rng rng(seed);
    for (int i = 0; i < count; i++) {
        std::string fen = random_fen(name, i & 1, (i >> 1) & 1, rng);
        if (!b.set(fen.c_str())) {
            ADD_FAILURE() << "refused " << fen;
            return t;
        }
        Position& p = b.pos();
        int s1, s2;
        int wdl = wdl_of(p, s1);
        int dtz = dtz_of(p, s2);
        bool failed = false;
        int wdl_moves = wdl_by_moves(p, failed);
        int dtz_moves = dtz_by_moves(p, failed);
        if (!s1 || !s2 || failed) {
            ADD_FAILURE() << "a probe failed at or after " << fen;
            return t;
        }
        bool boundary = (wdl == 1 && wdl_moves == 2) || (wdl == -1 && wdl_moves == -2);
        if (wdl != wdl_moves && !boundary) {
            ADD_FAILURE() << name << " " << fen << ": WDL " << wdl << ", by its moves " << wdl_moves;
            return t;
        }
        if ((wdl > 0) != (dtz > 0) || (wdl < 0) != (dtz < 0) || (std::abs(wdl) == 1) != (std::abs(dtz) > 100) ||
            (boundary && std::abs(dtz_moves) <= 100)) {
            ADD_FAILURE() << name << " " << fen << ": WDL " << wdl << " but DTZ " << dtz << " (by its moves "
                          << dtz_moves << ")";
            return t;
        }
        // Values kept in moves rather than plies may read one high.
        if (std::abs(std::abs(dtz) - std::abs(dtz_moves)) > 1) {
            ADD_FAILURE() << name << " " << fen << ": DTZ " << dtz << ", by its moves " << dtz_moves;
            return t;
        }
        t.positions++;
        t.wins += wdl > 0;
        t.draws += wdl == 0;
        t.losses += wdl < 0;
        t.spoilt += std::abs(wdl) == 1;
        t.capture_decided += s1 == 2;
    }
    return t;
}

int convert_by_ranking(const std::string& name, int games, uint64_t seed, int promotions[5], int max_plies) {
    TestBoard b;
    Rng rng(seed);
    int mated = 0;
    for (int g = 0; g < games; g++) {
        // A won start for the side to move.
        std::string fen;
        for (int tries = 0;; tries++) {
            fen = random_fen(name, rng.below(2), rng.below(2), rng);
            b.set(fen.c_str());
            int s;
            if (wdl_of(b.pos(), s) == 2 && s) break;
            if (tries > 10000) {
                ADD_FAILURE() << "no won position of " << name;
                return mated;
            }
        }
        Position& p = b.pos();
        const int winner = p.side;
        for (int ply = 0;; ply++) {
            uint32_t r = tb_probe_root(tb_position(p, p.fifty));
            if (r == TB_RESULT_MATE) {
                if (p.side == winner) ADD_FAILURE() << fen << ": the winner is mated";
                else mated++;
                break;
            }
            if (r == TB_RESULT_FAILED || r == TB_RESULT_STALEMATE || ply >= max_plies) {
                ADD_FAILURE() << fen << ": no mate, ranking result " << r << " after " << ply << " plies";
                return mated;
            }
            const unsigned expected = p.side == winner ? 4 : 0;
            if (tb_result_wdl(r) != expected) {
                ADD_FAILURE() << fen << ": class " << tb_result_wdl(r) << " after " << ply << " plies";
                return mated;
            }
            Move m = ranking_move(p, r);
            if (!m) {
                ADD_FAILURE() << fen << ": the ranking's move is not legal after " << ply << " plies";
                return mated;
            }
            promotions[tb_result_promo(r)]++;
            make_move(p, m);
            if (p.fifty >= 100 && !(legal_moves(p).empty() && in_check(p))) {
                ADD_FAILURE() << fen << ": the fifty-move rule ends it after " << ply + 1 << " plies";
                return mated;
            }
        }
    }
    return mated;
}
