// Network inference: accumulators kept per thread and brought up to date
// by comparing the piece bitboards with those of the last evaluation, then
// the leaky activation, the optional material and hidden layers and the
// output bucket's dot products.
#include "network.h"
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include "../position/attacks.h"
#include "../position/position.h"
#include "../system/output.h"
#include "eval_state.h"
#include "network_kernels.h"

namespace {

// Feature offsets of the piece types (pawn .. king by type number).
constexpr int piece_offset[8] = {0, 64, 128, 192, 256, 320, 0, 0};
// Pieces gone plus pieces come: at most a full board each.
constexpr int MAX_ROW_CHANGES = 128;

inline const int16_t* feature_row(int index) { return network.features + int64_t(index) * network.o; }

int16_t* buffer(int n) {
    if (n <= 0) return nullptr;
    size_t bytes = (size_t(n) * 2 + 63) / 64 * 64;
    auto* b = static_cast<int16_t*>(aligned_alloc(64, bytes));
    if (b) memset(b, 0, bytes);
    return b;
}

void release(NetworkState* s) {
    if (!s) return;
    for (int k = 0; k < 2; k++)
        for (AccumulatorEntry& e : s->entries[k]) free(e.values);
    free(s->white_act);
    free(s->black_act);
    free(s->material_act);
    free(s->hidden_act);
    free(s);
}

// The thread's state, made (or remade for a network of other sizes) on use.
NetworkState* thread_state(EvalState& es) {
    auto* s = static_cast<NetworkState*>(es.network);
    const Network& n = network;
    if (s && s->o == n.o && s->u == n.u && s->m == n.m && s->h == n.h) return s;
    release(s);
    es.network = nullptr;
    s = static_cast<NetworkState*>(calloc(1, sizeof(NetworkState)));
    if (!s) return nullptr;
    s->o = n.o;
    s->u = n.u;
    s->m = n.m;
    s->h = n.h;
    bool ok = true;
    for (int k = 0; k < 2; k++)
        for (AccumulatorEntry& e : s->entries[k]) {
            e.values = buffer(k == WHITE ? n.o : n.u);
            ok &= e.values != nullptr;
        }
    s->white_acc = s->entries[WHITE][0].values;
    s->black_acc = s->entries[BLACK][0].values;
    s->white_act = buffer(n.o);
    s->black_act = buffer(n.u);
    s->material_act = buffer(n.m);
    s->hidden_act = buffer(n.h);
    if (!ok || !s->white_act || !s->black_act || (n.m > 0 && !s->material_act) || (n.h > 0 && !s->hidden_act)) {
        release(s);
        return nullptr;
    }
    es.network = s;
    return s;
}

// Feature number of a piece for perspective k (0 White, 1 Black): the
// perspective's own pieces first, the other side's 384 further on.
inline int feature_index(int orientation, int offset, int k, int colour, int type, int sq) {
    return offset + piece_offset[type] + (sq ^ orientation) + (colour == k ? 0 : 384);
}

// The rows of every piece on the board, for a refresh from the biases.
int board_rows(int orientation, int offset, int k, const Position& p, const int16_t** out) {
    int count = 0;
    for (int c = 0; c < 2; c++)
        for (int type = PAWN; type <= KING; type++) {
            Bitboard b = p.bb[make_piece(c, type)];
            while (b) out[count++] = feature_row(feature_index(orientation, offset, k, c, type, pop_lsb(b)));
        }
    return count;
}

// The rows of the pieces gone since the entry's board (the first
// `subtracts` of them), then those of the pieces come, each group in
// piece and square order; returns the count. One pass over the bitboards:
// most of them are unchanged and cost a single test.
int changed_rows(const AccumulatorEntry& e, int k, const Position& p, const int16_t** out, int& subtracts) {
    const int16_t* come_rows[MAX_ROW_CHANGES];
    int gone_count = 0, come_count = 0;
    for (int c = 0; c < 2; c++)
        for (int type = PAWN; type <= KING; type++) {
            const int piece = make_piece(c, type);
            const Bitboard differ = e.bb[piece] ^ p.bb[piece];
            if (!differ) continue;
            Bitboard gone = differ & e.bb[piece], come = differ & p.bb[piece];
            while (gone) out[gone_count++] = feature_row(feature_index(e.orientation, e.offset, k, c, type, pop_lsb(gone)));
            while (come)
                come_rows[come_count++] = feature_row(feature_index(e.orientation, e.offset, k, c, type, pop_lsb(come)));
        }
    subtracts = gone_count;
    for (int i = 0; i < come_count; i++) out[gone_count + i] = come_rows[i];
    return gone_count + come_count;
}

// Squares whose piece differs between the entry's board and p. (Stopping
// the count once it reaches the best so far saves instructions but costs
// more in mispredicted branches.)
int changed_squares(const AccumulatorEntry& e, const Position& p) {
    int count = 0;
    for (int c = 0; c < 2; c++)
        for (int type = PAWN; type <= KING; type++) count += popcount(e.bb[make_piece(c, type)] ^ p.bb[make_piece(c, type)]);
    return count;
}

int king_entry(int orientation, int offset) { return NN_PLY_ENTRIES + (orientation & 1) * 2 + (offset ? 1 : 0); }

// Brings perspective k's accumulator for p up to date in the entry of the
// evaluation's ply: from whichever entry made with the same orientation
// and input bucket is nearest to p (the parent's, a sibling's, the last
// evaluation's, the one last made with this king placement), or from the
// biases when none is nearer than a refresh. Without saturation every way
// gives the same sums. Returns 1 for a refresh.
int update_accumulator(NetworkState& s, int k, const Position& p, int ply, int orientation, int offset,
                       bool may_reuse) {
    const Network& n = network;
    const int size = k == WHITE ? s.o : s.u;
    AccumulatorEntry* entries = s.entries[k];
    const int target = ply < 0 ? 0 : ply > NN_PLY_ENTRIES - 2 ? NN_PLY_ENTRIES - 2 : ply;
    const int king = king_entry(orientation, offset);
    int best = -1;
    int best_cost = popcount(occupancy(p));  // what a refresh costs, in rows
    if (may_reuse) {
        // The sibling's, the parent's and the grandparent's entries, and a
        // child's (left by the last search below this node); the king
        // placement's entry only when none of them is close.
        const int candidates[5] = {target, target - 1, target - 2, target + 1, king};
        for (int i = 0; i < 5; i++) {
            const int c = candidates[i];
            if (c < 0 || (c == king && best_cost <= 4)) continue;
            const AccumulatorEntry& e = entries[c];
            if (e.generation != n.generation || e.orientation != orientation || e.offset != offset) continue;
            const int cost = changed_squares(e, p);
            if (cost < best_cost) {
                best = c;
                best_cost = cost;
            }
        }
    }
    AccumulatorEntry& out = entries[target];
    const int16_t* rows[MAX_ROW_CHANGES];
    int count, subtracts = 0;
    if (best >= 0) {
        count = changed_rows(entries[best], k, p, rows, subtracts);
        nn::apply_rows(out.values, entries[best].values, rows, subtracts, count, size);
    } else {
        count = board_rows(orientation, offset, k, p, rows);
        nn::apply_rows(out.values, k == WHITE ? n.white_bias : n.black_bias, rows, 0, count, size);
    }
    s.rows += uint64_t(count);
    memcpy(out.bb, p.bb, sizeof out.bb);
    out.orientation = orientation;
    out.offset = offset;
    out.generation = n.generation;
    s.last[k] = target;
    // The king placement's entry follows whenever it was the start or no
    // entry was near: the next crossing to here starts from this board.
    if (best < 0 || best == king) {
        AccumulatorEntry& keep = entries[king];
        memcpy(keep.values, out.values, size_t(size) * sizeof(int16_t));
        memcpy(keep.bb, out.bb, sizeof out.bb);
        keep.orientation = orientation;
        keep.offset = offset;
        keep.generation = n.generation;
    }
    return best < 0;
}

}  // namespace

void network_activations(NetworkState& s) {
    nn::activate(s.white_act, s.white_acc, s.o);
    nn::activate(s.black_act, s.black_acc, s.u);
}

void release_network_state(EvalState& es) {
    release(static_cast<NetworkState*>(es.network));
    es.network = nullptr;
}

int network_material(int knights, int bishops, int rooks, int queens) {
    int s = 3 * (knights + bishops) + 5 * rooks;
    return s + queens * (s ? 10 : 6);
}

namespace {
// A tenth of v rounded half up, 0 for v below zero: in integers what
// rounding v times 0.1 gives, without a library call on every evaluation.
inline int tenth_rounded(int v) { return v < 0 ? 0 : (v + 5) / 10; }
}  // namespace

int network_output_bucket(const int16_t* header, int white_material, int black_material, int white_pawns,
                          int black_pawns) {
    switch (header[NN_BUCKET_SCHEME]) {
        case 6:
            return 5 - std::min(tenth_rounded(white_material + black_material), 5);
        case 8:
            return std::min(tenth_rounded(white_material + black_material + white_pawns + black_pawns - 6), 7);
        default:
            return 0;
    }
}

int network_eval(const Position& p, EvalState& es) {
    NetworkState* sp = thread_state(es);
    if (!sp) {
        engine_print("error initializing NN!");
        return -10001;
    }
    NetworkState& s = *sp;
    const Network& n = network;
    const int16_t* hd = n.header;

    NetworkTrace& tr = s.trace;
    for (int c = 0; c < 2; c++) {
        for (int type = PAWN; type <= QUEEN; type++) tr.counts[c * 5 + type - 1] = piece_count(p, c, type);
        tr.material[c] = network_material(tr.counts[c * 5 + 1], tr.counts[c * 5 + 2], tr.counts[c * 5 + 3],
                                          tr.counts[c * 5 + 4]);
    }
    const int total = tr.material[WHITE] + tr.material[BLACK];
    const int bucket = network_output_bucket(hd, tr.material[WHITE], tr.material[BLACK], tr.counts[0], tr.counts[5]);
    tr.bucket = bucket;

    // Files are mirrored so that the own king stands on files e-h; ranks
    // are mirrored for Black.
    int orientation[2] = {file_of(p.king_sq[WHITE]) < 4 ? 7 : 0, file_of(p.king_sq[BLACK]) < 4 ? 63 : 56};
    int offset[2] = {0, 0};
    if (hd[NN_INPUT_BUCKETS] > 1) {
        if (hd[NN_VERSION] > 800) {
            offset[0] = offset[1] = total <= 20 ? 768 : 0;
        } else {
            offset[0] = rank_of(p.king_sq[WHITE]) <= 2 ? 0 : 768;
            offset[1] = rank_of(p.king_sq[BLACK]) >= 5 ? 0 : 768;
        }
    }

    // Each perspective is brought up to date on its own: a king crossing
    // to the other half of the board changes only its own side's view.
    // Evaluations near the root start from the biases, so that a new search
    // starts clean.
    const bool may_reuse = es.ply > 2;
    bool refreshed = false;
    for (int k = 0; k < 2; k++) {
        refreshed |= update_accumulator(s, k, p, es.ply, orientation[k], offset[k], may_reuse) != 0;
        s.orientation[k] = orientation[k];
        s.offset[k] = offset[k];
    }
    s.white_acc = s.entries[WHITE][s.last[WHITE]].values;
    s.black_acc = s.entries[BLACK][s.last[BLACK]].values;
    if (refreshed)
        s.refreshes++;
    else
        s.updates++;

    const int us = p.side, them = us ^ 1;
    if (n.m > 0) {
        int inputs[10];
        for (int k = 0; k < 5; k++) {
            inputs[k] = tr.counts[us * 5 + k];
            inputs[5 + k] = tr.counts[them * 5 + k];
        }
        for (int j = 0; j < n.m; j++) {
            int v = n.material_bias[j];
            for (int k = 0; k < 10; k++) v += n.material_weights[j * 10 + k] * inputs[k];
            s.material_act[j] = nn::leaky(int16_t(v));
        }
    }

    uint32_t output;
    if (n.h == 0) {
        // The built-in layout: the activation is folded into the dot products.
        const int16_t* own = us == WHITE ? s.white_acc : s.black_acc;
        const int16_t* other = us == WHITE ? s.black_acc : s.white_acc;
        output = uint32_t(nn::dot_leaky(n.block_a + int64_t(bucket) * n.o, own, n.o)) +
                 uint32_t(nn::dot_leaky(n.block_b + int64_t(bucket) * n.u, other, n.u));
        if (n.m > 0) output += uint32_t(nn::dot(n.block_c + int64_t(bucket) * n.m, s.material_act, n.m));
    } else {
        network_activations(s);
        const int16_t* own = us == WHITE ? s.white_act : s.black_act;
        const int16_t* other = us == WHITE ? s.black_act : s.white_act;
        for (int r = 0; r < n.h; r++) {
            int64_t v = n.hidden_bias[r];
            v += nn::dot(n.block_a + int64_t(r) * n.o, own, n.o) / 1024;
            v += nn::dot(n.block_b + int64_t(r) * n.u, other, n.u) / 1024;
            if (n.m > 0) v += nn::dot(n.block_c + int64_t(r) * n.m, s.material_act, n.m) / 1024;
            v = v < -32000 ? -32000 : v > 32000 ? 32000 : v;
            if (v < 0) v /= 64;
            s.hidden_act[r] = int16_t(v);
        }
        output = uint32_t(nn::dot(n.final_weights + int64_t(bucket) * n.h, s.hidden_act, n.h));
    }
    tr.raw = float(double(int32_t(output)) / 1048576.0);
    // output * scale / 2^20 rounded half away from zero, in integers (the
    // product is exact in a double too, so this is what rounding the
    // floating-point value gives).
    const int64_t scaled = int64_t(int32_t(output)) * hd[NN_OUTPUT_SCALE];
    const int64_t score = scaled >= 0 ? (scaled + (1 << 19)) >> 20 : -((-scaled + (1 << 19)) >> 20);
    return int(score < -3000 ? -3000 : score > 3000 ? 3000 : score);
}
