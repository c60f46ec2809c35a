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

// A piece on a square, gone from or come to the board since an entry's.
struct PieceChange {
    uint8_t piece, sq;
};

// The pieces gone since the board `from` (the first `gone` of them) and
// then those come, each group in piece and square order; returns the
// count. One pass over the bitboards: most of them are unchanged and cost
// a single test. From an empty board it lists every piece.
int board_changes(const Bitboard* from, const Position& p, PieceChange* out, int& gone) {
    PieceChange come[MAX_ROW_CHANGES];
    int gone_count = 0, come_count = 0;
    for (int c = 0; c < 2; c++)
        for (int type = PAWN; type <= KING; type++) {
            const int piece = make_piece(c, type);
            const Bitboard differ = from[piece] ^ p.bb[piece];
            if (!differ) continue;
            Bitboard g = differ & from[piece], n = differ & p.bb[piece];
            while (g) out[gone_count++] = {uint8_t(piece), uint8_t(pop_lsb(g))};
            while (n) come[come_count++] = {uint8_t(piece), uint8_t(pop_lsb(n))};
        }
    gone = gone_count;
    for (int i = 0; i < come_count; i++) out[gone_count + i] = come[i];
    return gone_count + come_count;
}

// The feature rows of the changes for perspective k.
void change_rows(const PieceChange* changes, int count, int orientation, int offset, int k, const int16_t** out) {
    for (int i = 0; i < count; i++) {
        const int piece = changes[i].piece;
        out[i] = feature_row(feature_index(orientation, offset, k, piece_colour(piece), piece_type(piece), changes[i].sq));
    }
}

// Squares whose piece differs between the board `from` and p. (Stopping
// the count once it reaches the best so far saves instructions but costs
// more in mispredicted branches.)
int changed_squares(const Bitboard* from, const Position& p) {
    int count = 0;
    for (int c = 0; c < 2; c++)
        for (int type = PAWN; type <= KING; type++) count += popcount(from[make_piece(c, type)] ^ p.bb[make_piece(c, type)]);
    return count;
}

int king_entry(int orientation, int offset) { return NN_PLY_ENTRIES + (orientation & 1) * 2 + (offset ? 1 : 0); }

inline bool entry_fits(const AccumulatorEntry& e, uint32_t generation, int orientation, int offset) {
    return e.generation == generation && e.orientation == orientation && e.offset == offset;
}

void set_entry(AccumulatorEntry& e, const Position& p, int orientation, int offset, uint32_t generation) {
    memcpy(e.bb, p.bb, sizeof e.bb);
    e.orientation = orientation;
    e.offset = offset;
    e.generation = generation;
}

// Brings both perspectives' accumulators for p up to date in the entries
// of the evaluation's ply: each from whichever of its entries made with the
// same orientation and input bucket is nearest to p (the parent's, a
// sibling's, a child's, the one last made with this king placement), or
// from the biases when none is nearer than a refresh. Both perspectives'
// entries of a ply are always made together, for the same board, so the
// distance to a ply entry and the pieces changed since it are found once
// for both. Without saturation every way gives the same sums. Returns 1
// when either perspective was refreshed.
int update_accumulators(NetworkState& s, const Position& p, int ply, const int orientation[2], const int offset[2],
                        bool may_reuse) {
    const Network& n = network;
    const int target = ply < 0 ? 0 : ply > NN_PLY_ENTRIES - 2 ? NN_PLY_ENTRIES - 2 : ply;
    int best[2] = {-1, -1};
    const int refresh_cost = popcount(occupancy(p));  // what a refresh costs, in rows
    int best_cost[2] = {refresh_cost, refresh_cost};
    if (may_reuse) {
        // The parent first: after a quiet move or a capture from an
        // evaluated parent (the usual case) no other entry is nearer by
        // more than a row or two, and the others are not looked at.
        const int candidates[4] = {target - 1, target, target - 2, target + 1};
        for (int i = 0; i < 4 && (best_cost[0] > 3 || best_cost[1] > 3); i++) {
            const int c = candidates[i];
            if (c < 0) continue;
            bool fits[2];
            for (int k = 0; k < 2; k++) fits[k] = entry_fits(s.entries[k][c], n.generation, orientation[k], offset[k]);
            if (!fits[0] && !fits[1]) continue;
            const int cost = changed_squares(s.entries[WHITE][c].bb, p);
            for (int k = 0; k < 2; k++)
                if (fits[k] && cost < best_cost[k]) {
                    best[k] = c;
                    best_cost[k] = cost;
                }
        }
        // The king placement's entry only when no ply entry is close.
        for (int k = 0; k < 2; k++) {
            const int king = king_entry(orientation[k], offset[k]);
            const AccumulatorEntry& e = s.entries[k][king];
            if (best_cost[k] <= 4 || !entry_fits(e, n.generation, orientation[k], offset[k])) continue;
            const int cost = changed_squares(e.bb, p);
            if (cost < best_cost[k]) {
                best[k] = king;
                best_cost[k] = cost;
            }
        }
    }

    static const Bitboard empty_board[16] = {};
    PieceChange changes[MAX_ROW_CHANGES];
    int count = 0, gone = 0;
    int refreshed = 0;
    for (int k = 0; k < 2; k++) {
        const int size = k == WHITE ? s.o : s.u;
        AccumulatorEntry* entries = s.entries[k];
        const int source = best[k];
        // The perspectives usually start from the same ply entry, or both
        // from the biases, whose boards are the same for both: then White's
        // list of changes serves Black too. King placement entries are each
        // perspective's own.
        const bool same_list = k == BLACK && source == best[WHITE] && source < NN_PLY_ENTRIES;
        if (!same_list) count = board_changes(source >= 0 ? entries[source].bb : empty_board, p, changes, gone);
        const int16_t* rows[MAX_ROW_CHANGES];
        change_rows(changes, count, orientation[k], offset[k], k, rows);
        AccumulatorEntry& out = entries[target];
        const int16_t* start = source >= 0 ? entries[source].values : k == WHITE ? n.white_bias : n.black_bias;
        nn::apply_rows(out.values, start, rows, gone, count, size);
        s.rows += uint64_t(count);
        set_entry(out, p, orientation[k], offset[k], n.generation);
        s.last[k] = target;
        // The king placement's entry follows whenever it was the start or no
        // entry was near: the next crossing to here starts from this board.
        const int king = king_entry(orientation[k], offset[k]);
        if (source < 0 || source == king) {
            AccumulatorEntry& keep = entries[king];
            memcpy(keep.values, out.values, size_t(size) * sizeof(int16_t));
            set_entry(keep, p, orientation[k], offset[k], n.generation);
        }
        refreshed |= source < 0;
    }
    return refreshed;
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
    const bool refreshed = update_accumulators(s, p, es.ply, orientation, offset, may_reuse) != 0;
    for (int k = 0; k < 2; k++) {
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
