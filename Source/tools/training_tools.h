// The training-data tools run from the command line: conversions between
// EPD and the binary record formats, the duplicate filter, the statistics
// reports, the re-scorer and the self-play generator.
#pragma once
#include "../position/types.h"
#include "tool_arguments.h"


void epd_to_bin(const char* epd_in);           // -epd2bin
void bin_to_epd(const char* bin_file);         // -bin2epd
void bin_to_ptb(const char* bin_file);         // -bin2ptb
void filter_train_data(const char* bin_file);  // -filtertraindata: into "filtered.bin"
void training_stats(const char* bin_file);     // -tdstats
void correction_stats(const char* bin_file);   // -gencorrhist
void score_train_data(const char* epd_in, const char* epd_out);  // -scoretraindata
// -gentraindata: self-play into a.bin_file and "autogen.pgn".
void gen_train_data(const ToolArguments& a);
void quiet_train_data(const char* bin_file);   // -quiettraindata: the quiet records into "quiet.bin"

// A root is quiet when the side to move is not in check (static value
// -3000) and the quiescence search gains at most 50 over the static value.
bool quiet_root(int static_value, int quiet_value);

struct Position;
// A capture (en passant included) or a promotion; castling, written as the
// king taking its own rook in Chess960, is neither. The generator does not
// write positions whose best move is one: their score is the exchange's.
bool tactical_move(const Position& p, Move m);
bool side_to_move_in_check(const Position& p);
// The legal moves of the side to move, in generation order; their number.
int legal_move_list(const Position& p, Move* out);
// No info lines and no strength limit, for the tools' own searches.
void quiet_full_strength();
// A search of the game position to depth plies (the settings' depth when
// depth is negative) on the calling thread; the result is in search_result.
void search_fixed(int depth);

// -mkopenings count file [book.bin]: writes count balanced openings to the
// file, grown from the lines of the Polyglot book when one is named.
void make_openings(const char* file, int count, const char* book);
// A seed for a tool's random choices that differs between runs, also
// between two started in the same second (two generators side by side).
uint32_t fresh_seed();
