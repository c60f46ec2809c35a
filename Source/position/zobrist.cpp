#include "zobrist.h"
#include <cstdio>
#include "attacks.h"

uint64_t zobrist[16][64];

void init_zobrist() {
    static bool done = false;
    if (done) return;
    done = true;
    // Two 16-bit multiply-with-carry generators; numbers with too few or too
    // many bits set are skipped, so every number changes about half the key.
    uint32_t z = 1, w = 1;
    auto step = [&]() {
        z = 36969u * (z & 65535u) + (z >> 16);
        w = 18000u * (w & 65535u) + (w >> 16);
        return (z << 16) + w;
    };
    uint64_t* table = &zobrist[0][0];
    for (int n = 0; n < 1024;) {
        uint64_t hi = step();
        uint64_t lo = step();
        uint64_t x = hi << 32 | lo;
        int bits = popcount(x);
        if (bits < 20 || bits > 44) continue;
        for (int i = 0; i < n; i++)
            if (popcount(table[i] ^ x) <= 5) {
                printf("bad hashcode\n");
                break;
            }
        table[n++] = x;
    }
}

void compute_keys(Position& p) {
    p.key = 0;
    p.pawn_key = 0;
    for (int sq = 0; sq < 64; sq++)
        if (p.board[sq]) toggle_key(p, p.board[sq], sq);
    if (p.ep_square != NO_SQ) p.key ^= zobrist[0][p.ep_square];
    p.key ^= zobrist[0][p.castle];
}
