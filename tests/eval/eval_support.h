// Set-up shared by the evaluation tests: tables, the win table, the
// parameters from the reference weight text and default settings, plus FEN helpers.
#pragma once
#include <fstream>
#include <string>
#include <vector>

#include "../support/test_position.h"
#include "eval/evaluate.h"
#include "eval/hce.h"
#include "eval/params.h"
#include "position/kpk.h"
#include "reference_params.h"
#include "shell/settings.h"

inline void init_eval_tests() {
    static bool done = false;
    init_engine_tables();
    if (!done) {
        done = true;
        init_kpk();
    }
    register_params();
    apply_param_text(reference_param_text);
    set_default_settings();
    root_side = WHITE;
    eval_seed = 0;
    eval_noise = 0;
    game_plies = 0;
}

// The same position with the colours exchanged and the board turned top to
// bottom: ranks reversed, piece letters swapped in case, the other side to
// move, castling and en passant carried over.
inline std::string mirror_fen(const std::string& fen) {
    std::vector<std::string> fields;
    size_t start = 0;
    while (start <= fen.size()) {
        size_t end = fen.find(' ', start);
        if (end == std::string::npos) end = fen.size();
        if (end > start) fields.push_back(fen.substr(start, end - start));
        start = end + 1;
    }
    auto swap_case = [](std::string s) {
        for (char& ch : s) ch = isupper((unsigned char)ch) ? char(tolower(ch)) : char(toupper(ch));
        return s;
    };
    std::vector<std::string> ranks;
    start = 0;
    const std::string& board = fields[0];
    while (true) {
        size_t end = board.find('/', start);
        ranks.push_back(board.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    std::string out;
    for (size_t i = ranks.size(); i-- > 0;) {
        out += swap_case(ranks[i]);
        if (i) out += '/';
    }
    out += fields.size() > 1 && fields[1] == "b" ? " w" : " b";
    out += ' ';
    out += fields.size() > 2 && fields[2] != "-" ? swap_case(fields[2]) : std::string("-");
    std::string ep = fields.size() > 3 ? fields[3] : "-";
    if (ep != "-") ep[1] = char('1' + '8' - ep[1]);
    out += ' ';
    out += ep;
    for (size_t i = 4; i < fields.size(); i++) {
        out += ' ';
        out += fields[i];
    }
    return out;
}

inline std::vector<std::string> perft_fens() {
    std::vector<std::string> out;
    for (const char* name : {"standard.perft", "chess960.perft"}) {
        std::ifstream in(std::string(VORN_DATA_DIR) + "/perft/" + name);
        std::string line;
        while (std::getline(in, line))
            if (line.rfind("epd ", 0) == 0) out.push_back(line.substr(4) + " 0 1");
    }
    return out;
}

inline int in_check(const Position& p) { return legality_info(p).checkers != 0; }
