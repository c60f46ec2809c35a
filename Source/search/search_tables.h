// Margins, depth limits and late-move reduction tables, rebuilt from the
// selectivity settings before every search.
#pragma once
#include <cstdint>

// The margin of a depth where a margin pruning is off: no score difference
// reaches it.
constexpr int16_t MARGIN_OFF = 9000;

struct SearchTables {
    int16_t fp_margins[8];   // razoring, by depth
    int16_t sep_margins[8];  // reverse futility, by depth
    int16_t fp_depth, sep_depth, nmp_depth, lmp_depth, lmr_depth;
    int8_t reduction[2][32][32];  // [0] PV nodes, [1] other nodes; [depth][moves searched]
};

extern SearchTables search_tables;

void build_search_tables();
void print_search_tables();
