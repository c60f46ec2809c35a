// The training-data tools run from the command line: conversions between
// EPD and the binary record formats, the duplicate filter, the statistics
// reports, the re-scorer and the self-play generator.
#pragma once
#include "../position/types.h"

// Input files of -tdstats and -gencorrhist: the fixed names unless a path
// follows the switch.
extern char tdstats_input[200];
extern char corrhist_input[200];
// Openings file of -gentraindata: "mybook_6mv.epd" unless a name follows the count.
extern char openings_input[200];
// Share (per thousand) of self-play moves replaced by a random legal move.
extern int random_move_permille;
// Width of the evaluation noise while -gentraindata searches (99 by default).
extern int generator_noise;

void epd_to_bin();          // -epd2bin: settings.epd_in
void bin_to_epd();          // -bin2epd: settings.bin_file
void bin_to_ptb();          // -bin2ptb: settings.bin_file
void filter_train_data();   // -filtertraindata: settings.bin_file into "filtered.bin"
void training_stats();      // -tdstats
void correction_stats();    // -gencorrhist
void score_train_data();    // -scoretraindata: settings.epd_in into settings.epd_out
void gen_train_data();      // -gentraindata: self-play into settings.bin_file and "autogen.pgn"
void quiet_train_data();    // -quiettraindata: the quiet records of settings.bin_file into "quiet.bin"

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

// -mkopenings count file: writes count balanced openings to the file.
extern char openings_output[200];
extern int openings_wanted;
void make_openings();
