#include "eval_trace.h"
#include <cmath>
#include <cstdio>
#include <cstring>
#include "../position/attacks.h"
#include "../position/position.h"
#include "eval_state.h"
#include "hce.h"
#include "network.h"
#include "params.h"

namespace {

inline int blended(int32_t v, float phase) {
    return int(std::trunc(double(eg_of(v)) * (1.0 - phase) + double(mg_of(v)) * phase));
}

void print_squares(const char* title, Bitboard b) {
    if (!b) return;
    printf("%s", title);
    while (b) printf(" %s", square_names[pop_lsb(b)]);
    printf("\n");
}

void print_table(const char* title, int first) {
    printf("%s\n", title);
    for (int rank = 7; rank >= 0; rank--) {
        for (int file = 0; file < 8; file++) printf(" %3d", mg_of(eval_params[first + rank * 8 + file].packed));
        printf("     ");
        for (int file = 0; file < 8; file++) printf(" %3d", eg_of(eval_params[first + rank * 8 + file].packed));
        printf("\n");
    }
    printf("\n");
}

}  // namespace

void eval_trace(const Position& p, EvalState& es, int level, int qscore) {
    es.ply = 1;
    int nne = network_loaded() ? network_eval(p, es) : 0;
    es.trace = 1;
    for (auto& g : es.trace_terms) g[0] = g[1] = 0;
    es.trace_hung = es.trace_free_passers = 0;
    int hce = hce_eval(p, es);
    es.trace = 0;
    const float phase = es.phase;

    printf("           white  black      md\n");
    static const char* const piece_labels[5] = {"pawns:", "knights:", "bishops:", "rooks:", "queens:"};
    int material_total = 0;
    for (int type = PAWN; type <= QUEEN; type++) {
        int32_t unit = eval_params[MTL_PAWN + type - 1].packed;
        int32_t mw = int32_t(uint32_t(unit) * uint32_t(piece_count(p, WHITE, type)));
        int32_t mb = int32_t(uint32_t(unit) * uint32_t(piece_count(p, BLACK, type)));
        int w = blended(es.trace_terms[type - 1][WHITE], phase) - blended(mw, phase);
        int b = blended(es.trace_terms[type - 1][BLACK], phase) - blended(mb, phase);
        int md = blended(mw, phase) - blended(mb, phase);
        material_total += md;
        printf("%-10s  %4d   %4d    %4d\n", piece_labels[type - 1], w, b, md);
    }
    static const char* const other_labels[4] = {"king:", "ppawns:", "threats:", "special:"};
    for (int g = TRACE_KING; g <= TRACE_SPECIAL; g++)
        printf("%-10s  %4d   %4d    %4d\n", other_labels[g - TRACE_KING], blended(es.trace_terms[g][WHITE], phase),
               blended(es.trace_terms[g][BLACK], phase), 0);
    print_squares("hung pieces on: ", es.trace_hung);
    print_squares("free pawns on: ", es.trace_free_passers);
    int mtl = p.side == WHITE ? material_total : -material_total;
    printf("nne= %d, hce= %d, qscore= %d, mtl= %d, phase= %0.2f, sf= %0.2f, rule50= %d\n\n", nne, hce, qscore, mtl,
           double(phase), 1.0, int(p.fifty));

    if (level >= 2) {
        for (int i = 0; i < first_table_param && i < PARAM_COUNT; i++) {
            const EvalParam& e = eval_params[i];
            if (strstr(e.name, "PST_") || strstr(e.name, "ttune")) continue;
            printf("%-22s  %4d , %4d\n", e.name, mg_of(e.packed), eg_of(e.packed));
        }
        print_table("Pawn1", PST_P1);
        print_table("Pawn2", PST_P2);
        print_table("Connected Pawn", PST_CP);
        print_table("Defended Pawn", PST_DP);
        print_table("Knight", PST_N);
        print_table("Bishop", PST_B);
        print_table("Rook", PST_R);
        print_table("Queen", PST_Q);
        print_table("King ", PST_K);
    }
    fflush(stdout);
}

void network_trace(const Position& p, EvalState& es) {
    if (!network_loaded()) return;
    es.ply = 1;
    network_eval(p, es);
    auto* s = static_cast<NetworkState*>(es.network);
    if (!s) return;
    network_activations(*s);
    const Network& n = network;
    const int bucket = s->trace.bucket;
    printf("output node = %d\n", bucket);
    const double k = n.header[NN_OUTPUT_SCALE] / 1048576.0;
    const bool white = p.side == WHITE;
    // The weight inference pairs with each node of each layer for this
    // bucket; for a hidden network the first layers feed hidden neuron 0.
    const int row = n.h > 0 ? 0 : bucket;
    struct Layer {
        const int16_t* act;
        int size;
        const int16_t* weights;
    } layers[4] = {
        {s->white_act, n.o, (white ? n.block_a : n.block_b) + int64_t(row) * n.o},
        {s->black_act, n.u, (white ? n.block_b : n.block_a) + int64_t(row) * n.u},
        {s->material_act, n.m, n.block_c + int64_t(row) * n.m},
        {s->hidden_act, n.h, n.final_weights ? n.final_weights + int64_t(bucket) * n.h : nullptr},
    };
    double total = 0;
    for (int l = 0; l < 4; l++) {
        const Layer& L = layers[l];
        if (L.size <= 0 || !L.act || !L.weights) continue;
        printf("Layer %d\n", l);
        printf("  nodes contributing more than %.0f cp\n", 20.0);
        double sum = 0;
        int lo = 99999, hi = -99999;
        for (int j = 0; j < L.size; j++) {
            double a = L.act[j], w = L.weights[j], c = a * w * k;
            sum += c;
            if (L.act[j] < lo) lo = L.act[j];
            if (L.act[j] > hi) hi = L.act[j];
            if (std::fabs(c) > 20) printf("   %4d.  %5.0f * %5.0f ->  %5.0f\n", j, a, w, c);
        }
        printf("  ev= %5.0f, hmin= %d, hmax= %d\n", sum, lo, hi);
        total += sum;
    }
    printf("eval= %5.0f\n", total);
    fflush(stdout);
}
