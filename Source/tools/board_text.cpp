#include "board_text.h"
#include <cstdio>
#include "../position/types.h"

void board_to_fen(const uint8_t codes[64], int side, int castle, int ep, char* out) {
    int n = 0;
    for (int rank = 7; rank >= 0; rank--) {
        int empty = 0;
        for (int file = 0; file < 8; file++) {
            int code = codes[square_of(file, rank)];
            int type = piece_type(code);
            if (type < PAWN || type > KING || code > 15) {
                empty++;
                continue;
            }
            if (empty) out[n++] = char('0' + empty), empty = 0;
            out[n++] = piece_letters[piece_colour(code) ? 7 + type : type];
        }
        if (empty) out[n++] = char('0' + empty);
        if (rank) out[n++] = '/';
    }
    out[n++] = ' ';
    out[n++] = side ? 'b' : 'w';
    out[n++] = ' ';
    const char* rights = "KQkq";
    int any = 0;
    for (int b = 0; b < 4; b++)
        if (castle & (1 << b)) out[n++] = rights[b], any = 1;
    if (!any) out[n++] = '-';
    out[n++] = ' ';
    if (ep >= 0 && ep < 64) {
        out[n++] = square_names[ep][0];
        out[n++] = square_names[ep][1];
    } else {
        out[n++] = '-';
    }
    out[n] = 0;
}
