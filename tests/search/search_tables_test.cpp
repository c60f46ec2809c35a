// Margins and reduction tables built from the selectivity settings.
#include <gtest/gtest.h>
#include "search/search_tables.h"
#include "shell/settings.h"

namespace {

struct SelectivityGuard {
    EngineSettings saved = settings;
    explicit SelectivityGuard(int selectivity) {
        set_default_settings();
        search_options.selectivity = int16_t(selectivity);
        build_search_tables();
    }
    ~SelectivityGuard() { settings = saved; }
};

std::string row(int table, int depth) {
    std::string s;
    for (int m = 0; m < 32; m++) s += char('0' + search_tables.reduction[table][depth][m]);
    return s;
}

}  // namespace

TEST(SearchTables, DefaultSelectivityRows) {
    SelectivityGuard g(100);
    const int16_t fp[8] = {0, 100, 200, 300, 400, 9000, 9000, 9000};
    const int16_t sep[8] = {0, 50, 100, 150, 9000, 9000, 9000, 9000};
    for (int i = 0; i < 8; i++) {
        EXPECT_EQ(search_tables.fp_margins[i], fp[i]) << i;
        EXPECT_EQ(search_tables.sep_margins[i], sep[i]) << i;
    }
    EXPECT_EQ(row(0, 3), "00000000111111111112222222222222");
    EXPECT_EQ(row(1, 3), "00111112222222222333333333333333");
    EXPECT_EQ(row(0, 8), "00011111112222222222222333333333");
    EXPECT_EQ(row(1, 8), "01122222223333333333344444444444");
    EXPECT_EQ(row(0, 16), "01112222222223333333333333333333");
    EXPECT_EQ(row(1, 16), "01223333333344444444444445555555");
    EXPECT_EQ(row(0, 31).substr(0, 6), "012233");
    EXPECT_EQ(row(1, 31).substr(0, 13), "0123444444445");
    for (int d = 0; d < 3; d++) EXPECT_EQ(row(0, d), std::string(32, '0'));
}

TEST(SearchTables, SelectivityExtremes) {
    {
        SelectivityGuard g(0);  // used as 20
        EXPECT_EQ(search_tables.fp_margins[1], 214);
        EXPECT_EQ(search_tables.sep_margins[1], 107);
    }
    {
        SelectivityGuard g(200);
        EXPECT_EQ(search_tables.fp_margins[4], 240);
    }
    {
        SelectivityGuard g(100);
        search_options.FP_depth = 0;
        build_search_tables();
        EXPECT_EQ(search_tables.fp_margins[0], 0);
        for (int i = 1; i < 8; i++) EXPECT_EQ(search_tables.fp_margins[i], 9000);
    }
}
