// The search's lines as the front end reads them: UCI "info" lines, or the
// console's own columns.
#pragma once
#include "../search/search_control.h"

// Prints one report of the running search in the protocol in use.
void print_search_report(const SearchReport& r);
// The console's "Hash fill=" line of the last search.
void print_table_counters();
