#include "hce_labels.h"
#include <thread>
#include "eval/evaluate.h"
#include "eval/hce.h"
#include "position/attacks.h"
#include "position/makemove.h"
#include "position/movegen.h"
#include "position/position.h"
#include "position/see.h"
#include "search/search_control.h"
#include "search/thread.h"
#include "shell/game.h"
#include "tools/training_tools.h"

namespace {

// Records are cut into blocks of this many; each block has its own random
// stream, so the output does not depend on how blocks meet threads.
constexpr int64_t BLOCK = 4096;

inline uint32_t next_random(uint64_t& state) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return uint32_t(state >> 33);
}

void label_block(SearchThread& t, const TrainingRecord* records, int64_t from, int64_t to, const LabelConfig& c,
                 std::vector<FeatureRecord>& out) {
    uint64_t state = (uint64_t(c.seed) << 32) ^ uint64_t(from / BLOCK) * 0x9E3779B97F4A7C15ull;
    Move moves[MAX_MOVES];
    for (int64_t i = from; i < to; i++) {
        for (int w = 0; w < c.walks; w++) {
            if (!set_record_position(records[i], t.pos)) break;
            const int plies = 1 + int(next_random(state) % uint32_t(c.max_plies > 0 ? c.max_plies : 1));
            bool ended = false;
            for (int k = 0; k < plies; k++) {
                int n = legal_move_list(t.pos, moves);
                if (n == 0) {
                    ended = true;
                    break;
                }
                make_move(t.pos, moves[next_random(state) % uint32_t(n)]);
            }
            int score;
            if (ended || !quiet_by_exchange(t.pos)) continue;
            if (c.depth > 0 ? !searched_label(t.pos, c.depth, score) : !hce_label(t, score)) continue;
            FeatureRecord f;
            position_features(t.pos, f);
            f.target = float(score_to_probability(score));
            out.push_back(f);
        }
    }
}

}  // namespace

bool quiet_by_exchange(const Position& p) {
    const int side = p.side;
    if (side_to_move_in_check(p)) return false;
    MoveEntry list[MAX_MOVES];
    MoveEntry* end = gen_captures(p, side, list, NO_SQ);
    end = gen_promotions(p, side, true, end);
    for (MoveEntry* e = list; e < end; e++) {
        if (!is_legal(p, side, e->move)) continue;
        if ((e->move & FLAG_MASK) && piece_type(e->piece) == PAWN) return false;  // a promotion
        if (see_move(p, side, move_from(e->move), move_to(e->move)) > 50) return false;
    }
    return true;
}

bool hce_label(SearchThread& t, int& score) {
    int decided;
    rule_ending(t.pos, t.pos.side, &decided);
    if (decided) return false;
    t.eval.ply = 2;
    score = clamp_eval(hce_eval(t.pos, t.eval));
    return true;
}

bool searched_label(const Position& p, int depth, int& score) {
    int decided;
    rule_ending(p, p.side, &decided);
    if (decided) return false;
    char fen[128];
    get_fen(p, fen, 0);
    if (!set_game_position(fen)) return false;
    clear_game_record();
    search_fixed(depth);
    if (!search_result.best_move) return false;
    score = clamp_eval(search_result.score);
    return true;
}

int64_t share_records(int64_t count, const LabelConfig& c) {
    const int64_t stride = c.parts > 1 ? c.parts : 1;
    int64_t n = 0;
    for (int64_t from = c.part * BLOCK; from < count; from += stride * BLOCK)
        n += from + BLOCK < count ? BLOCK : count - from;
    return n;
}

std::vector<FeatureRecord> hce_labelled_walks(const TrainingRecord* records, int64_t count, const LabelConfig& c) {
    const int64_t blocks = (count + BLOCK - 1) / BLOCK;
    std::vector<std::vector<FeatureRecord>> parts(static_cast<size_t>(blocks));
    // The engine's search is one per process: searched labels take one thread.
    const int threads = c.depth > 0 || c.threads < 1 ? 1 : c.threads;
    const int64_t stride = c.parts > 1 ? c.parts : 1;
    auto work = [&](int id) {
        SearchThread* t = new_tool_block();
        if (!t) return;
        for (int64_t b = c.part + id * stride; b < blocks; b += threads * stride) {
            const int64_t from = b * BLOCK, to = from + BLOCK < count ? from + BLOCK : count;
            label_block(*t, records, from, to, c, parts[size_t(b)]);
        }
        free_tool_block(t);
    };
    std::vector<std::thread> pool;
    for (int i = 1; i < threads; i++) pool.emplace_back(work, i);
    work(0);
    for (auto& th : pool) th.join();
    std::vector<FeatureRecord> out;
    for (auto& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}
