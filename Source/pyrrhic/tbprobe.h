// Syzygy tablebase files: the registry of tables found on the tablebase
// path, lazy read-only mapping of their files, decoding of the WDL and DTZ
// formats, and the probes built on them (WDL, DTZ, root ranking by DTZ).
#pragma once
#include <cstdint>
#include "tbchess.h"

// Largest number of men of any table found (0 when none); set by tb_init.
extern int tb_largest;
// Files found by the last scan.
extern int tb_num_wdl, tb_num_dtm, tb_num_dtz;

// Rebuilds the registry from a ':'-separated list of directories: unmaps
// and forgets every table first. An empty path or "<empty>" leaves no
// tables and prints nothing. Must not run while any thread probes.
void tb_init(const char* path);
// Unmaps everything and empties the registry.
void tb_free();

// WDL value for the side to move: -2 loss, -1 loss saved by the fifty-move
// rule, 0 draw, 1 win spoilt by the fifty-move rule, 2 win. success: 0 failed,
// 1 done, 2 done and the value is reached by a capture (no table beyond this
// position was needed for it).
int tb_probe_wdl(const TbPosition& p, int& success);

// Signed distance in plies to a zeroing move under best play, positive for
// the winning side, 0 for a draw; 100 more in magnitude for results that the
// fifty-move rule spoils. success 0 on failure.
int tb_probe_dtz(const TbPosition& p, int& success);

// Root ranking by DTZ, packed: WDL class 0..4 (loss .. win, judged with the
// position's half-move clock) in bits 0-3, destination bits 4-9, origin
// bits 10-15, promotion bits 16-18 (1 queen .. 4 knight), en passant bit 19,
// DTZ magnitude bits 20-31.
constexpr uint32_t TB_RESULT_MATE = 0xFFFFFFFD;       // the side to move is mated
constexpr uint32_t TB_RESULT_STALEMATE = 0xFFFFFFFE;  // the side to move has no move
constexpr uint32_t TB_RESULT_FAILED = 0xFFFFFFFF;
constexpr unsigned tb_result_wdl(uint32_t r) { return r & 15; }
constexpr int tb_result_to(uint32_t r) { return (r >> 4) & 63; }
constexpr int tb_result_from(uint32_t r) { return (r >> 10) & 63; }
constexpr int tb_result_promo(uint32_t r) { return (r >> 16) & 7; }
constexpr int tb_result_ep(uint32_t r) { return (r >> 19) & 1; }
constexpr int tb_result_dtz(uint32_t r) { return int(r >> 20); }
uint32_t tb_probe_root(const TbPosition& p);
