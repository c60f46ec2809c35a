#include "tb_support.h"
#include <dirent.h>
#include <algorithm>
#include <cstring>
#include "position/attacks.h"

void use_shared_tables() {
    init_engine_tables();
    tb_init(syzygy_dir().c_str());
}

std::vector<std::string> shared_table_names() {
    std::vector<std::string> names;
    DIR* d = opendir(syzygy_dir().c_str());
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
        std::string fen;
        for (int r = 7; r >= 0; r--) {
            int empty = 0;
            for (int f = 0; f < 8; f++) {
                char c = board[r * 8 + f];
                if (!c) {
                    empty++;
                    continue;
                }
                if (empty) fen += char('0' + empty);
                empty = 0;
                fen += c;
            }
            if (empty) fen += char('0' + empty);
            if (r) fen += '/';
        }
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
