#include "search_tables.h"
#include <cmath>
#include <cstdio>
#include "search_options.h"

SearchTables search_tables;

static int8_t round_half_away(double x) { return int8_t(x < 0 ? -std::floor(-x + 0.5) : std::floor(x + 0.5)); }

void build_search_tables() {
    SearchTables& s = search_tables;
    double c = search_options.selectivity < 20 ? 20 : search_options.selectivity > 200 ? 200 : search_options.selectivity;
    float k = float(1.5 / (0.01 * c + 0.5));
    for (int i = 0; i < 8; i++) {
        s.fp_margins[i] = int16_t(i > search_options.FP_depth ? MARGIN_OFF : int(i * 100 * k));
        s.sep_margins[i] = int16_t(i > search_options.SEP_depth ? MARGIN_OFF : int(i * 50 * k));
    }
    for (int d = 0; d < 32; d++)
        for (int m = 0; m < 32; m++) {
            s.reduction[0][d][m] = s.reduction[1][d][m] = 0;
            if (d < 3 || m == 0) continue;
            float v = float(0.6499999761581421 * (std::sqrt(double(d)) + std::sqrt(double(m))) - 2.3921682834625244);
            double w = std::fmin(double(m), double(v)) * c;
            s.reduction[0][d][m] = w < 0 ? 0 : w > 300 ? 3 : round_half_away(w / 100);
            float v2 = std::fmin(v + 1.1f, float(m));
            double w2 = double(v2) * c;
            s.reduction[1][d][m] = w2 < 0 ? 0 : w2 > 500 ? 5 : round_half_away(w2 / 100);
        }
    s.fp_depth = search_options.FP_depth;
    s.sep_depth = search_options.SEP_depth;
    s.nmp_depth = search_options.NMP_depth;
    s.lmp_depth = search_options.LMP_depth;
    s.lmr_depth = search_options.LMR_depth;
}

void print_search_tables() {
    const SearchTables& s = search_tables;
    printf("FP_margins= ");
    for (int i = 1; i < 8; i++) printf(" %d", s.fp_margins[i]);
    printf("\nSEP_margins= ");
    for (int i = 1; i < 8; i++) printf(" %d", s.sep_margins[i]);
    printf("\nNMP_depth= %d\nLMR_depth= %d\nLMR table:\n", s.nmp_depth, s.lmr_depth);
    for (int t = 0; t < 2; t++) {
        if (t) printf("\n");
        for (int d = 3; d < 32; d++) {
            printf("%2d  ", d);
            for (int m = 0; m < 32; m++) printf("%d ", s.reduction[t][d][m]);
            printf("\n");
        }
    }
}
