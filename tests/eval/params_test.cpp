// The parameter table: layout, coded defaults, packing and the text loader.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "eval_support.h"

namespace {

// Pawn tables are empty on the back ranks, the king table on files a-d.
void expect_empty_table_squares() {
    for (int t : {PST_P1, PST_P2, PST_CP, PST_DP})
        for (int f = 0; f < 8; f++) {
            EXPECT_EQ(eval_params[t + f].packed, 0);
            EXPECT_EQ(eval_params[t + 56 + f].packed, 0);
        }
    for (int s = 0; s < 64; s++)
        if (file_of(s) < 4) {
            EXPECT_EQ(eval_params[PST_K + s].packed, 0) << s;
        }
}

class Params : public ::testing::Test {
protected:
    void SetUp() override { init_eval_tests(); }
};

TEST_F(Params, TableLayoutAndNames) {
    EXPECT_EQ(first_table_param, PST_P1);
    EXPECT_EQ(find_param("mtl_pawn"), MTL_PAWN);
    EXPECT_EQ(find_param("rook_infiltration"), ROOK_INFILTRATION);
    EXPECT_EQ(find_param("stm_bonus"), STM_BONUS);
    EXPECT_EQ(find_param("PST_P1"), PST_P1);
    EXPECT_EQ(find_param("PST_K"), PST_K);
    EXPECT_EQ(find_param("ttune"), TTUNE);
    EXPECT_EQ(find_param("no_such_weight"), -1);
    // Every square-table entry carries its table's name.
    for (int i = 0; i < 64; i++) {
        EXPECT_STREQ(eval_params[PST_N + i].name, "PST_N");
        EXPECT_STREQ(eval_params[PST_K + i].name, "PST_K");
    }
    for (int i = TTUNE; i < PARAM_COUNT; i++) EXPECT_STREQ(eval_params[i].name, "ttune");
}

TEST_F(Params, CodedDefaultsBeforeTheText) {
    register_params();
    EXPECT_EQ(eval_params[MTL_KNIGHT].packed, make_packed(335, 335));
    EXPECT_EQ(eval_params[MTL_ROOK].packed, make_packed(535, 535));
    EXPECT_EQ(eval_params[MTL_QUEEN].packed, make_packed(1000, 1000));
    EXPECT_EQ(eval_params[STM_BONUS].packed, 0);
    EXPECT_EQ(eval_params[PST_N].packed, 0);
}

TEST_F(Params, ReferenceTextValues) {
    EXPECT_EQ(strlen(reference_param_text), 4140u);
    const EvalParam& n = eval_params[MTL_KNIGHT];
    EXPECT_EQ(mg_of(n.packed), 370);
    EXPECT_EQ(eg_of(n.packed), 295);
    EXPECT_EQ(n.mg, 370.0f);
    EXPECT_EQ(n.eg, 295.0f);

    // A negative middle-game half borrows from the end-game half.
    const EvalParam& iso = eval_params[PAWN_ISOLATED];
    EXPECT_EQ(iso.packed, -15);
    EXPECT_EQ(mg_of(iso.packed), -15);
    EXPECT_EQ(eg_of(iso.packed), -1);
    EXPECT_EQ(iso.eg, 0.0f);

    for (int i = TTUNE; i < PARAM_COUNT; i++) {
        EXPECT_EQ(eval_params[i].packed, 0);
        EXPECT_EQ(eval_params[i].mg, 0.0f);
    }

    // Published rows of the tables land on the right squares.
    const int p1_rank2[8][2] = {{-34, -12}, {-37, -11}, {-36, -7}, {-34, -3}, {-30, 20}, {-8, 17}, {13, 2}, {-17, -13}};
    const int n_rank1[8][2] = {{-36, -11}, {-25, -20}, {-24, -11}, {-15, -7}, {-8, -10}, {-7, -12}, {-27, -8}, {-22, -8}};
    for (int f = 0; f < 8; f++) {
        EXPECT_EQ(eval_params[PST_P1 + 8 + f].packed, make_packed(p1_rank2[f][0], p1_rank2[f][1])) << f;
        EXPECT_EQ(eval_params[PST_N + f].packed, make_packed(n_rank1[f][0], n_rank1[f][1])) << f;
    }
    EXPECT_EQ(eval_params[PST_K + 4].packed, make_packed(-21, -47));
    EXPECT_EQ(eval_params[PST_K + 7].packed, make_packed(-9, -57));
    EXPECT_EQ(eval_params[PST_K + 60].packed, make_packed(4, 17));
    EXPECT_EQ(eval_params[PST_K + 63].packed, make_packed(-2, -8));
}

TEST_F(Params, BuiltInTextIsCompleteAndSane) {
    // Every line of the built-in text names the next entry of the table,
    // so the loader reports nothing and fills every scalar and square.
    register_params();
    testing::internal::CaptureStdout();
    EXPECT_EQ(apply_param_text(builtin_param_text), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    const std::string text = builtin_param_text;
    EXPECT_EQ(text.rfind("start\nmtl_pawn,100,100\n", 0), 0u);
    const size_t last = text.rfind('\n');
    ASSERT_NE(last, std::string::npos);
    EXPECT_EQ(text.substr(last + 1), "ttune,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0");
    int lines = 0;
    for (char c : text) lines += c == '\n';
    EXPECT_EQ(lines, 1 + SCALAR_PARAMS + 9);

    // Material keeps its order in both phases, and the tables their shape.
    for (int phase = 0; phase < 2; phase++) {
        auto v = [&](int i) { return phase ? eval_params[i].eg : eval_params[i].mg; };
        EXPECT_EQ(v(MTL_PAWN), 100.0f);
        EXPECT_GT(v(MTL_KNIGHT), 2.5f * v(MTL_PAWN));
        EXPECT_GT(v(MTL_ROOK), v(MTL_BISHOP));
        EXPECT_GT(v(MTL_QUEEN), v(MTL_ROOK) + v(MTL_PAWN));
    }
    expect_empty_table_squares();
    for (int i = TTUNE; i < PARAM_COUNT; i++) EXPECT_EQ(eval_params[i].packed, 0);
}

TEST_F(Params, TableShapes) {
    expect_empty_table_squares();
    // Knights are worth more in the centre than in the corner.
    EXPECT_GT(eval_params[PST_N + 27].mg, eval_params[PST_N + 0].mg);
    EXPECT_GT(eval_params[PST_N + 27].eg, eval_params[PST_N + 63].eg);
}

TEST_F(Params, LoaderRules) {
    testing::internal::CaptureStdout();
    // Skipped lines: "start", too short, parentheses; a space ends a line,
    // so the text after it on that line is a line of its own.
    int errors = apply_param_text(
        "start\nmtl_pawn,90,95\nab\n(mtl_knight,1,1)\nmtl_knight,300,310 junk\r\nmtl_bishop,301,302\n");
    EXPECT_EQ(errors, 0);
    EXPECT_EQ(eval_params[MTL_PAWN].packed, make_packed(90, 95));
    EXPECT_EQ(eval_params[MTL_KNIGHT].packed, make_packed(300, 310));
    EXPECT_EQ(eval_params[MTL_BISHOP].packed, make_packed(301, 302));

    // A name out of order is reported and the value stored anyway, at the
    // current write position.
    errors = apply_param_text("mtl_pawn,100,100\nmtl_rook,500,500\n");
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(eval_params[MTL_KNIGHT].packed, make_packed(500, 500));
    EXPECT_EQ(eval_params[MTL_ROOK].packed, make_packed(525, 582));

    // Text after the last line end is not applied.
    errors = apply_param_text("mtl_pawn,101,102\nmtl_knight,7,8");
    EXPECT_EQ(eval_params[MTL_PAWN].packed, make_packed(101, 102));
    EXPECT_EQ(eval_params[MTL_KNIGHT].packed, make_packed(500, 500));
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("error mtl_rook  mtl_knight\n"), std::string::npos) << out;
}

TEST_F(Params, SquareTableLineFillsInOrder) {
    std::string text = "mtl_pawn,100,100\n";
    for (int i = MTL_KNIGHT; i < SCALAR_PARAMS; i++) text += std::string(eval_params[i].name) + ",0,0\n";
    text += "PST_P1";
    for (int s = 0; s < 64; s++) {
        text += ',';
        text += std::to_string(s);
        text += ',';
        text += std::to_string(-s);
    }
    text += "\n";
    testing::internal::CaptureStdout();
    EXPECT_EQ(apply_param_text(text.c_str()), 0);
    testing::internal::GetCapturedStdout();
    for (int s = 0; s < 64; s++) EXPECT_EQ(eval_params[PST_P1 + s].packed, make_packed(s, -s)) << s;
    EXPECT_EQ(eval_params[PST_P2 + 8].packed, make_packed(-34, -12));  // untouched
}

TEST_F(Params, ShortOrOverlongTextStaysInsideTheTable) {
    testing::internal::CaptureStdout();
    // A table line that runs out of numbers stops there.
    std::string text = "mtl_pawn,100,100\n";
    for (int i = MTL_KNIGHT; i < SCALAR_PARAMS; i++) text += std::string(eval_params[i].name) + ",1,1\n";
    text += "PST_P1,5,6,7\n";
    apply_param_text(text.c_str());
    EXPECT_EQ(eval_params[PST_P1].packed, make_packed(5, 6));
    EXPECT_EQ(eval_params[PST_P1 + 1].packed, 0);  // the half pair is not stored
    EXPECT_EQ(eval_params[PST_P1 + 9].packed, make_packed(-37, -11));
    // Lines past the end of the table are dropped, not written beyond it.
    std::string tail = "mtl_pawn,100,100\n";
    for (int i = 1; i < PARAM_COUNT + 10; i++) tail += "x_weight,3,3\n";
    apply_param_text(tail.c_str());
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(eval_params[PARAM_COUNT - 1].packed, make_packed(3, 3));
    EXPECT_STREQ(eval_params[PARAM_COUNT - 1].name, "ttune");
}

}  // namespace
