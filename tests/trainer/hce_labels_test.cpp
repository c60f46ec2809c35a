// Positions labelled by the hand-crafted evaluation: the quiet test, the
// endings left to the rules, walks that repeat whatever the threads and
// however the work is shared, and labels from a search.
#include <gtest/gtest.h>
#include <cstring>
#include "../support/test_position.h"
#include "eval/params.h"
#include "eval/network.h"
#include "hce_labels.h"
#include "held_out.h"
#include "search/hash.h"
#include "shell/settings.h"
#include "shell/startup.h"
#include "trainer.h"

namespace {

struct HceLabels : ::testing::Test {
    void SetUp() override {
        init_engine_tables();
        set_default_settings();
        output_mode.noise = SILENT_NOISE;
        register_params();
        apply_param_text(builtin_param_text);
    }
};

// count records of the given positions in turn.
std::vector<TrainingRecord> cycled_records(const char* const* fens, int n, int count) {
    std::vector<TrainingRecord> records;
    for (int i = 0; i < count; i++) {
        TestBoard b(fens[i % n]);
        TrainingRecord r;
        position_to_record(b.pos(), r);
        records.push_back(r);
    }
    return records;
}

bool quiet(const char* fen) {
    TestBoard b(fen);
    return quiet_by_exchange(b.pos());
}

TEST_F(HceLabels, QuietMeansNoCheckNoPromotionNoWinningCapture) {
    EXPECT_TRUE(quiet(start_fen));
    EXPECT_FALSE(quiet("4k3/8/8/3q4/4P3/8/8/4K3 w - - 0 1"));   // exd5 wins the queen
    EXPECT_FALSE(quiet("4k3/8/8/3q4/4P3/8/8/4K3 b - - 0 1"));   // Qxe4 wins a pawn
    EXPECT_TRUE(quiet("4k3/8/8/3q4/4P3/5P2/8/4K3 b - - 0 1"));  // Qxe4 fxe4 loses the queen
    EXPECT_FALSE(quiet("4k3/8/8/8/8/8/4R3/4K3 b - - 0 1"));     // in check
    EXPECT_FALSE(quiet("4k3/P7/8/8/8/8/8/4K3 w - - 0 1"));      // a8 promotes
}

TEST_F(HceLabels, EndingsSettledByRuleGetNoLabel) {
    TestBoard kpk("8/8/8/4k3/8/8/4P3/4K3 w - - 0 1"), middle(start_fen);
    int score = 12345;
    EXPECT_FALSE(hce_label(*kpk.block, score));
    ASSERT_TRUE(hce_label(*middle.block, score));
    EXPECT_LT(std::abs(score), 100);
}

TEST_F(HceLabels, WalksRepeatWhateverTheThreadCount) {
    const char* fens[] = {
        start_fen,
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
        "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
        "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 8",
    };
    // More records than one block of the labeller (4 096), so that both
    // threads work.
    std::vector<TrainingRecord> records = cycled_records(fens, 4, 6000);
    LabelConfig c;
    c.walks = 2;
    c.max_plies = 4;
    c.threads = 1;
    auto one = hce_labelled_walks(records.data(), int64_t(records.size()), c);
    c.threads = 2;
    auto two = hce_labelled_walks(records.data(), int64_t(records.size()), c);
    ASSERT_EQ(one.size(), two.size());
    EXPECT_EQ(0, memcmp(one.data(), two.data(), one.size() * sizeof(FeatureRecord)));
    // Some walks end in captures to be made or checks; most do not.
    EXPECT_GT(one.size(), records.size() / 2);
    EXPECT_LT(one.size(), records.size() * 2);
    c.seed = 2;
    auto other = hce_labelled_walks(records.data(), int64_t(records.size()), c);
    EXPECT_TRUE(other.size() != one.size() ||
                memcmp(one.data(), other.data(), one.size() * sizeof(FeatureRecord)) != 0);
    for (const FeatureRecord& f : one) {
        ASSERT_GT(f.target, 0.0f);
        ASSERT_LT(f.target, 1.0f);
        Sample s;
        ASSERT_TRUE(sample_from_record(f, s));
    }
}

TEST_F(HceLabels, SharesOfTheWalksMakeTheWhole) {
    // Two labeller blocks' worth of records, so that each share has one.
    const char* fens[] = {start_fen, "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 8"};
    std::vector<TrainingRecord> records = cycled_records(fens, 2, 6000);
    LabelConfig c;
    c.walks = 1;
    c.max_plies = 3;
    auto whole = hce_labelled_walks(records.data(), int64_t(records.size()), c);
    c.parts = 2;
    c.part = 0;
    auto first = hce_labelled_walks(records.data(), int64_t(records.size()), c);
    c.part = 1;
    auto second = hce_labelled_walks(records.data(), int64_t(records.size()), c);
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    first.insert(first.end(), second.begin(), second.end());
    ASSERT_EQ(whole.size(), first.size());
    EXPECT_EQ(0, memcmp(whole.data(), first.data(), whole.size() * sizeof(FeatureRecord)));
    EXPECT_EQ(share_records(6000, c), 6000 - 4096);
    c.part = 0;
    EXPECT_EQ(share_records(6000, c), 4096);
}

TEST_F(HceLabels, SearchedLabelsSeeWhatTheStaticScoreMisses) {
    ASSERT_EQ(prepare_process("vorn"), 0);
    register_params();
    apply_param_text(builtin_param_text);
    output_mode.noise = SILENT_NOISE;
    eval_options.use_nn = 0;
    settings.hash_mb = 8;
    ASSERT_EQ(allocate_hash(settings.hash_mb, false), 1);
    // Nc7+ forks king and rook: a rook up by count, a knight down in fact.
    TestBoard fork("r3k3/7p/8/1N6/8/8/P7/4K3 w - - 0 1");
    ASSERT_TRUE(quiet_by_exchange(fork.pos()));
    int still = 0, searched = 0;
    ASSERT_TRUE(hce_label(*fork.block, still));
    ASSERT_TRUE(searched_label(fork.pos(), 3, searched));
    EXPECT_LT(still, -100);
    EXPECT_GT(searched, 150);
    // The searched score is the mover's: the same position with black to
    // move is simply black's rook up.
    TestBoard quiet_side("r3k3/7p/8/1N6/8/8/P7/4K3 b - - 0 1");
    ASSERT_TRUE(searched_label(quiet_side.pos(), 3, searched));
    EXPECT_GT(searched, 100);
    TestBoard kpk("8/8/8/4k3/8/8/4P3/4K3 w - - 0 1");
    EXPECT_FALSE(searched_label(kpk.pos(), 3, searched));
}

}  // namespace

namespace {

// Records whose stored score is the hand-crafted static score itself: the
// two losses must then be the same, for either side to move.
TEST_F(HceLabels, HeldOutLossesCompareLikeWithLike) {
    const char* fens[] = {
        "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 8",
        "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R b KQ - 0 8",
        "2r3k1/5ppp/p3p3/1p6/3R4/1P4P1/P4P1P/6K1 b - - 0 30",
        "6k1/5pp1/7p/8/8/1Q5P/5PPK/3q4 w - - 0 40",
    };
    std::vector<TrainingRecord> records;
    for (const char* fen : fens) {
        TestBoard b(fen);
        TrainingRecord r;
        position_to_record(b.pos(), r);
        int score;
        ASSERT_TRUE(hce_label(*b.block, score));
        r.static_score = r.search_score = int16_t(score);
        r.result = 0;
        records.push_back(r);
    }
    set_default_settings();
    output_mode.noise = SILENT_NOISE;
    ASSERT_EQ(load_network("embedded", 0.0f), 1);
    HeldOutLosses l = held_out_losses(records.data(), int64_t(records.size()), 1);
    EXPECT_EQ(l.positions, 4);
    EXPECT_NEAR(l.handmade, l.recorded, 1e-12);
    EXPECT_GT(l.network, 0.0);
    EXPECT_GT(l.handmade, 0.0);  // the results pull the target away from the score
}

}  // namespace
