#include "trainer.h"
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <thread>
#include "eval/network.h"
#include "search/thread.h"
#include "tools/training_data.h"
#include "position/attacks.h"
#include "position/position.h"

namespace {

constexpr int FEATURE_ROWS = 2 * 768;
constexpr int SQUARE_ROWS = 768;  // piece and square, either material bucket
constexpr int PIECE_ROWS = 12;    // piece (own or other side), any square
constexpr int BUCKETS = 6;
// Units of the loaded integer network per float unit: the accumulators
// carry 256 per unit and the output weights 4096, so that their product
// is the 2^20 the engine divides by.
constexpr float ACC_UNIT = 256.0f, OUT_UNIT = 4096.0f;
constexpr float SIGMOID_SCALE = 0.005f;

constexpr int piece_base[8] = {0, 64, 128, 192, 256, 320, 0, 0};  // by piece type

inline float leaky(float x) { return x >= 0 ? x : x / 64.0f; }

int material(const int count[6]) {
    // count by type index: 1 pawn .. 5 queen
    int s = 3 * (count[2] + count[3]) + 5 * count[4];
    return s + count[5] * (s ? 10 : 6);
}

struct Gradients {
    std::vector<float> features, bias, own, other;
    std::vector<uint8_t> touched;  // feature rows seen in this batch
    double loss = 0;
    void reset(int width) {
        features.assign(size_t(FEATURE_ROWS) * width, 0.0f);
        bias.assign(size_t(width), 0.0f);
        own.assign(size_t(BUCKETS) * width, 0.0f);
        other.assign(size_t(BUCKETS) * width, 0.0f);
        touched.assign(FEATURE_ROWS, 0);
        loss = 0;
    }
};

struct Adam {
    std::vector<float> m, v;
    void init(size_t n) {
        m.assign(n, 0.0f);
        v.assign(n, 0.0f);
    }
    void step(float* w, const float* g, size_t from, size_t to, float lr, float c1, float c2) {
        const float b1 = 0.9f, b2 = 0.999f, eps = 1e-8f;
        for (size_t i = from; i < to; i++) {
            m[i] = b1 * m[i] + (1 - b1) * g[i];
            v[i] = b2 * v[i] + (1 - b2) * g[i] * g[i];
            w[i] -= lr * (m[i] / c1) / (std::sqrt(v[i] / c2) + eps);
        }
    }
};

// Forward pass: the accumulators before activation and the output in cp.
float forward(const Model& m, const Sample& s, float* acc_own, float* acc_other) {
    const int w = m.width;
    std::copy(m.bias.begin(), m.bias.end(), acc_own);
    std::copy(m.bias.begin(), m.bias.end(), acc_other);
    for (int i = 0; i < s.count; i++) {
        const float* r1 = &m.features[size_t(s.own[i]) * w];
        const float* r2 = &m.features[size_t(s.other[i]) * w];
        for (int j = 0; j < w; j++) {
            acc_own[j] += r1[j];
            acc_other[j] += r2[j];
        }
    }
    const float* a = &m.own[size_t(s.bucket) * w];
    const float* b = &m.other[size_t(s.bucket) * w];
    float out = 0;
    for (int j = 0; j < w; j++) out += a[j] * leaky(acc_own[j]) + b[j] * leaky(acc_other[j]);
    return out * float(m.output_scale);
}

void backward(const Model& m, const Sample* samples, size_t n, Gradients& g) {
    const int w = m.width;
    std::vector<float> acc_own(static_cast<size_t>(w)), acc_other(static_cast<size_t>(w)), d_own(static_cast<size_t>(w)), d_other(static_cast<size_t>(w));
    for (size_t k = 0; k < n; k++) {
        const Sample& s = samples[k];
        float out = forward(m, s, acc_own.data(), acc_other.data());
        float p = 1.0f / (1.0f + std::exp(-SIGMOID_SCALE * out));
        float err = p - s.target;
        g.loss += double(err) * err;
        float d_out = 2 * err * p * (1 - p) * SIGMOID_SCALE * float(m.output_scale);
        const float* a = &m.own[size_t(s.bucket) * w];
        const float* b = &m.other[size_t(s.bucket) * w];
        float* ga = &g.own[size_t(s.bucket) * w];
        float* gb = &g.other[size_t(s.bucket) * w];
        for (int j = 0; j < w; j++) {
            ga[j] += d_out * leaky(acc_own[j]);
            gb[j] += d_out * leaky(acc_other[j]);
            d_own[j] = d_out * a[j] * (acc_own[j] >= 0 ? 1.0f : 1.0f / 64);
            d_other[j] = d_out * b[j] * (acc_other[j] >= 0 ? 1.0f : 1.0f / 64);
            g.bias[j] += d_own[j] + d_other[j];
        }
        for (int i = 0; i < s.count; i++) {
            float* r1 = &g.features[size_t(s.own[i]) * w];
            float* r2 = &g.features[size_t(s.other[i]) * w];
            for (int j = 0; j < w; j++) {
                r1[j] += d_own[j];
                r2[j] += d_other[j];
            }
            g.touched[size_t(s.own[i])] = g.touched[size_t(s.other[i])] = 1;
        }
    }
}

double loss_of(const Model& m, const Sample* samples, size_t n) {
    std::vector<float> a(static_cast<size_t>(m.width)), b(static_cast<size_t>(m.width));
    double sum = 0;
    for (size_t k = 0; k < n; k++) {
        float p = 1.0f / (1.0f + std::exp(-SIGMOID_SCALE * forward(m, samples[k], a.data(), b.data())));
        sum += double(p - samples[k].target) * (p - samples[k].target);
    }
    return n ? sum / double(n) : 0;
}

// The file holds four times the loaded value in 16 bits, so a weight is
// cut at +-8191; clamped counts those, which a longer run may reach.
inline int16_t quantised(float v, float unit, int& clamped) {
    long q = std::lround(v * unit);
    if (q > 8191 || q < -8191) clamped++;
    return int16_t(q > 8191 ? 8191 : q < -8191 ? -8191 : q);
}

}  // namespace

void position_features(const Position& p, int16_t out[32]) {
    const int us = p.side;
    int flip = (file_of(p.king_sq[us]) < 4 ? 7 : 0) + (us == BLACK ? 56 : 0);
    int n = 0;
    for (int type = PAWN; type <= KING; type++)
        for (int colour = WHITE; colour <= BLACK; colour++) {
            Bitboard b = p.bb[make_piece(colour, type)];
            while (b && n < 32) {
                int sq = pop_lsb(b);
                out[n++] = int16_t((colour == us ? 0 : 384) + piece_base[type] + (sq ^ flip));
            }
        }
    while (n < 32) out[n++] = EMPTY_FEATURE;
}

bool sample_from_record(const FeatureRecord& r, Sample& s) {
    int count[2][6] = {};
    int own_king = -1, other_king = -1;
    int n = 0;
    for (int i = 0; i < 32; i++) {
        int f = r.features[i];
        if (f < 0 || f >= 768) continue;
        int side = f >= 384 ? 1 : 0;  // 0 the side to move
        int piece = (f % 384) / 64;    // 0 king, 1 pawn .. 5 queen
        if (piece == 0) (side ? other_king : own_king) = f & 63;
        else count[side][piece]++;
        s.own[n++] = int16_t(f);
    }
    if (own_king < 0 || other_king < 0) return false;
    s.count = uint8_t(n);
    // In the side to move's frame its king stands on files e-h; the other
    // side's view mirrors the ranks, and the files when its king is on a-d.
    const int orient = (other_king & 7) < 4 ? 63 : 56;
    int total = material(count[0]) + material(count[1]);
    const int offset = total <= 20 ? 768 : 0;
    for (int i = 0; i < n; i++) {
        int f = s.own[i];
        int side = f >= 384 ? 1 : 0;
        s.other[i] = int16_t(offset + (side ? 0 : 384) + (f % 384 / 64) * 64 + ((f & 63) ^ orient));
        s.own[i] = int16_t(offset + f);
    }
    long x = std::lround(total * 0.1);
    s.bucket = uint8_t(5 - (x < 0 ? 0 : x > 5 ? 5 : x));
    s.target = r.target;
    return true;
}

void init_model(Model& m, int width, uint32_t seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<float> feature(0.0f, 0.05f), out(0.0f, 0.5f / std::sqrt(float(width)));
    m.width = width;
    m.output_scale = DEFAULT_OUTPUT_SCALE;
    m.features.resize(size_t(FEATURE_ROWS) * width);
    for (float& v : m.features) v = feature(rng);
    m.bias.assign(size_t(width), 0.1f);
    m.own.resize(size_t(BUCKETS) * width);
    m.other.resize(size_t(BUCKETS) * width);
    for (float& v : m.own) v = out(rng);
    for (float& v : m.other) v = out(rng);
}

bool model_from_loaded_network(Model& m) {
    const Network& n = network;
    const int16_t* h = n.header;
    if (h[NN_VERSION] != 805 || h[NN_INPUT_BUCKETS] != 2 || h[NN_BUCKET_SCHEME] != 6 || n.o != n.u || n.m != 0 ||
        n.h != 0 || n.o < 1 || n.rows < BUCKETS || h[NN_OUTPUT_SCALE] < 1)
        return false;
    const int w = n.o;
    m.width = w;
    m.output_scale = h[NN_OUTPUT_SCALE];
    m.features.resize(size_t(FEATURE_ROWS) * w);
    for (size_t i = 0; i < m.features.size(); i++) m.features[i] = float(n.features[i]) / ACC_UNIT;
    m.bias.resize(size_t(w));
    for (int j = 0; j < w; j++) m.bias[size_t(j)] = float(n.white_bias[j]) / ACC_UNIT;
    m.own.resize(size_t(BUCKETS) * w);
    m.other.resize(size_t(BUCKETS) * w);
    for (size_t i = 0; i < m.own.size(); i++) {
        m.own[i] = float(n.block_a[i]) / OUT_UNIT;
        m.other[i] = float(n.block_b[i]) / OUT_UNIT;
    }
    return true;
}

float predict(const Model& m, const Sample& s) {
    std::vector<float> a(static_cast<size_t>(m.width)), b(static_cast<size_t>(m.width));
    return forward(m, s, a.data(), b.data());
}

double train(Model& m, std::vector<Sample>& samples, size_t held, const TrainerConfig& config) {
    std::mt19937 rng(config.seed);
    // The held-out samples are the last ones as given, not a random pick:
    // positions of one game are close relatives, and with a random split a
    // network that learns the games by heart looks as if it had learnt
    // chess. Files hold their games one after the other.
    if (held > samples.size()) held = samples.size();
    const size_t n_train = samples.size() - held;
    const Sample* valid = samples.data() + n_train;
    const int threads = config.threads < 1 ? 1 : config.threads;
    std::vector<Gradients> grads(static_cast<size_t>(threads));
    for (auto& g : grads) g.reset(m.width);
    Adam adam_features, adam_bias, adam_own, adam_other;
    adam_features.init(m.features.size());
    adam_bias.init(m.bias.size());
    adam_own.init(m.own.size());
    adam_other.init(m.other.size());
    const size_t w = size_t(m.width);
    // Factorised rows: the network's row for a feature is its own row plus
    // one shared by both material buckets (the same piece on the same
    // square) plus one shared by every square (the same piece anywhere).
    // The shared rows learn from every position, so a piece's worth is
    // known even where the own row has seen few positions; they are merged
    // into the network's rows after every step.
    std::vector<float> base = m.features;
    std::vector<float> square(size_t(SQUARE_ROWS) * w, 0.0f), piece(size_t(PIECE_ROWS) * w, 0.0f);
    std::vector<float> g_square(square.size()), g_piece(piece.size());
    Adam adam_square, adam_piece;
    adam_square.init(square.size());
    adam_piece.init(piece.size());
    Model best = m;
    int steps = 0;
    double validation = loss_of(m, valid, held), best_validation = validation;
    for (int epoch = 0; epoch < config.epochs; epoch++) {
        // Large steps find the shape early; small ones settle it at the end.
        float lr = config.learning_rate;
        if (config.final_learning_rate > 0 && config.epochs > 1)
            lr *= std::pow(config.final_learning_rate / config.learning_rate, float(epoch) / float(config.epochs - 1));
        std::shuffle(samples.begin(), samples.begin() + long(n_train), rng);
        double train_loss = 0;
        for (size_t start = 0; start < n_train; start += size_t(config.batch)) {
            size_t n = std::min(size_t(config.batch), n_train - start);
            std::vector<std::thread> pool;
            size_t per = (n + size_t(threads) - 1) / size_t(threads);
            for (int t = 0; t < threads; t++) {
                size_t from = start + size_t(t) * per, count = from < start + n ? std::min(per, start + n - from) : 0;
                pool.emplace_back([&, t, from, count] { backward(m, samples.data() + from, count, grads[size_t(t)]); });
            }
            for (auto& th : pool) th.join();
            Gradients& g = grads[0];
            const float scale = 1.0f / float(n);
            for (int t = 1; t < threads; t++) {
                Gradients& o = grads[size_t(t)];
                for (size_t r = 0; r < size_t(FEATURE_ROWS); r++) {
                    if (!o.touched[r]) continue;
                    g.touched[r] = 1;
                    for (size_t j = 0; j < w; j++) g.features[r * w + j] += o.features[r * w + j];
                }
                for (size_t j = 0; j < g.bias.size(); j++) g.bias[j] += o.bias[j];
                for (size_t j = 0; j < g.own.size(); j++) g.own[j] += o.own[j], g.other[j] += o.other[j];
                g.loss += o.loss;
            }
            train_loss += g.loss;
            for (float& v : g.bias) v *= scale;
            for (float& v : g.own) v *= scale;
            for (float& v : g.other) v *= scale;
            steps++;
            const float c1 = 1 - std::pow(0.9f, float(steps)), c2 = 1 - std::pow(0.999f, float(steps));
            // Only the feature rows this batch touched are updated; their
            // gradients also go to the shared rows they take part in.
            std::fill(g_square.begin(), g_square.end(), 0.0f);
            std::fill(g_piece.begin(), g_piece.end(), 0.0f);
            for (size_t r = 0; r < size_t(FEATURE_ROWS); r++) {
                if (!g.touched[r]) continue;
                float* gr = &g.features[r * w];
                float* gs = &g_square[(r % SQUARE_ROWS) * w];
                float* gp = &g_piece[(r % SQUARE_ROWS / 64) * w];
                for (size_t j = 0; j < w; j++) {
                    gr[j] *= scale;
                    gs[j] += gr[j];
                    gp[j] += gr[j];
                }
                adam_features.step(base.data(), g.features.data(), r * w, r * w + w, lr, c1, c2);
            }
            adam_square.step(square.data(), g_square.data(), 0, square.size(), lr, c1, c2);
            adam_piece.step(piece.data(), g_piece.data(), 0, piece.size(), lr, c1, c2);
            for (size_t r = 0; r < size_t(FEATURE_ROWS); r++) {
                const float* b = &base[r * w];
                const float* q = &square[(r % SQUARE_ROWS) * w];
                const float* pc = &piece[(r % SQUARE_ROWS / 64) * w];
                float* out = &m.features[r * w];
                for (size_t j = 0; j < w; j++) out[j] = b[j] + q[j] + pc[j];
            }
            adam_bias.step(m.bias.data(), g.bias.data(), 0, m.bias.size(), lr, c1, c2);
            adam_own.step(m.own.data(), g.own.data(), 0, m.own.size(), lr, c1, c2);
            adam_other.step(m.other.data(), g.other.data(), 0, m.other.size(), lr, c1, c2);
            for (int t = 0; t < threads; t++) {
                Gradients& o = grads[size_t(t)];
                for (size_t r = 0; r < size_t(FEATURE_ROWS); r++)
                    if (o.touched[r]) std::fill(o.features.begin() + long(r * w), o.features.begin() + long(r * w + w), 0.0f);
                std::fill(o.touched.begin(), o.touched.end(), 0);
                std::fill(o.bias.begin(), o.bias.end(), 0.0f);
                std::fill(o.own.begin(), o.own.end(), 0.0f);
                std::fill(o.other.begin(), o.other.end(), 0.0f);
                o.loss = 0;
            }
        }
        validation = loss_of(m, valid, held);
        if (!config.quiet)
            printf("epoch %d: train loss %.6f, validation loss %.6f, learning rate %g\n", epoch + 1,
                   n_train ? train_loss / double(n_train) : 0.0, validation, double(lr));
        if (validation < best_validation || epoch == 0) {
            best_validation = validation;
            best = m;
        }
    }
    // The epoch that did best on the held-out samples is kept.
    if (held && best_validation < validation) {
        m = best;
        validation = best_validation;
        if (!config.quiet) printf("kept the epoch with validation loss %.6f\n", validation);
    }
    return validation;
}

bool write_network(const Model& m, const std::string& path, int* clamped_weights) {
    int clamped = 0;
    const int w = m.width;
    int16_t header[NN_HEADER_FIELDS] = {805, 4096, int16_t(m.output_scale), 2, 6, 0, 0, int16_t(w), int16_t(w), 0, 0, 0};
    const int64_t count = network_weight_count(header);
    std::vector<int16_t> q(static_cast<size_t>(count), 0);
    size_t at = 0;
    for (float v : m.features) q[at++] = quantised(v, ACC_UNIT, clamped);
    for (int k = 0; k < 2; k++)
        for (float v : m.bias) q[at++] = quantised(v, ACC_UNIT, clamped);
    for (int row = 0; row < 8; row++)
        for (int j = 0; j < w; j++)
            q[at++] = row < BUCKETS ? quantised(m.own[size_t(row * w + j)], OUT_UNIT, clamped) : 0;
    for (int row = 0; row < 8; row++)
        for (int j = 0; j < w; j++)
            q[at++] = row < BUCKETS ? quantised(m.other[size_t(row * w + j)], OUT_UNIT, clamped) : 0;
    if (clamped_weights) *clamped_weights = clamped;
    if (int64_t(at) != count) return false;
    for (int16_t& v : q) v = int16_t(v * 4);
    return save_network(path.c_str(), header, q.data(), count) == 1;
}

namespace {

// The training record of the position a sample was made from, seen from
// the side to move: its pieces white, White to move, in the record's frame
// (the network sees the same features there).
void sample_record(const Sample& s, TrainingRecord& r) {
    memset(&r, 0, sizeof r);
    for (int i = 0; i < s.count; i++) {
        const int f = s.own[i] % 768;
        const int index = (f % 384) / 64;  // 0 king, 1 pawn .. 5 queen
        const int code = (f < 384 ? WHITE : BLACK) * 8 + (index == 0 ? KING : index);
        r.board[(f & 63) / 2] |= uint8_t(code << (4 * (f & 1)));
    }
    r.castle_side = uint8_t(WHITE << 4);
    r.ep_square = 64;
}

}  // namespace

bool compare_with_engine(const Model& m, const Sample* samples, size_t n, const std::string& path, Agreement& out) {
    if (load_network(path.c_str(), 0.0f) != 1) return false;
    SearchThread* block = new_tool_block();
    if (!block) return false;
    out = Agreement();
    double sum = 0;
    for (size_t k = 0; k < n; k++) {
        TrainingRecord r;
        sample_record(samples[k], r);
        if (!set_record_position(r, block->pos)) continue;
        const float expect = predict(m, samples[k]);
        if (std::fabs(expect) >= 2900) continue;  // the engine clamps at 3000
        block->eval.ply = 1;  // a full refresh, no incremental update
        const double d = std::fabs(double(network_eval(block->pos, block->eval)) - expect);
        sum += d;
        out.worst = std::max(out.worst, d);
        out.compared++;
    }
    out.mean = out.compared ? sum / out.compared : 0;
    free_tool_block(block);
    return true;
}

bool read_record_file(const std::string& path, float result_weight, std::vector<Sample>& out) {
    if (read_training_file(path.c_str()) != 0) return false;
    SearchThread* block = new_tool_block();
    if (!block) {
        release_training_file();
        return false;
    }
    out.reserve(out.size() + size_t(training_count));
    for (int64_t i = 0; i < training_count; i++) {
        // The engine's own test of a usable record: both kings, material
        // beside them, the side not to move not in check, and a score
        // that the game's result does not flatly contradict.
        if (!record_to_position(training_records, i, block->pos, nullptr)) continue;
        FeatureRecord f;
        position_features(block->pos, f);
        const TrainingRecord& r = training_records[i];
        f.target = blended_target(r.static_score, r.result, result_weight);
        Sample s;
        if (sample_from_record(f, s)) out.push_back(s);
    }
    free_tool_block(block);
    release_training_file();
    return true;
}

ScaleFit fit_result_scale(const TrainingRecord* records, int64_t n) {
    // Squared error of sigmoid(k x score) against the result, for k on a
    // fine grid; the error is smooth in k, so the grid's best is close.
    auto error = [&](double k) {
        double sum = 0;
        int64_t used = 0;
        for (int64_t i = 0; i < n; i++) {
            const int score = records[i].static_score;
            if (score <= -3000 || score >= 3000) continue;
            const double p = 1.0 / (1.0 + std::exp(-k * score));
            const double r = score_to_probability(records[i].result);
            sum += (p - r) * (p - r);
            used++;
        }
        return used ? sum / double(used) : 0.0;
    };
    ScaleFit fit;
    fit.at_trained = error(0.005);
    fit.best = fit.at_trained;
    fit.slope = 0.005;
    for (int step = 10; step <= 150; step++) {
        const double k = step * 0.0001, e = error(k);
        if (e < fit.best) fit.best = e, fit.slope = k;
    }
    return fit;
}

bool read_feature_file(const std::string& path, std::vector<FeatureRecord>& out) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return false;
    FeatureRecord r;
    while (fread(&r, sizeof r, 1, f) == 1) out.push_back(r);
    fclose(f);
    return true;
}
