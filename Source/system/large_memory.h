// Memory for the big tables (transposition table, network weights), asked
// for in 2 MB pages where the system has them: probes land all over such
// a table, and with 4 KB pages nearly every one also misses the address
// translation cache.
#pragma once
#include <cstddef>

// Not cleared (the callers clear it, the table with several threads);
// 64-byte aligned at least; nullptr when out of memory. Released with free().
void* allocate_large(size_t bytes);
