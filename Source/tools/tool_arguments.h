// What the command line's tool switches name: the files a tool reads and
// writes, and its counts and rates. The start-up fills one record; each
// tool takes the arguments it needs.
#pragma once
#include <cstdint>

struct ToolArguments {
    char epd_in[140] = "";            // -anepd, -mkbook2, -epd2bin, -scoretraindata
    char pgn_in[140] = "";            // -mkbook, -scan_pgn
    char epd_out[140] = "tmp0.epd";   // -o: -anepd's and -scan_pgn's output
    char bin_file[141] = "";          // training records of the record tools
    int64_t train_positions = 400000000;  // -gentraindata's count
    // Input files with fixed names unless a path follows the switch.
    char tdstats_input[200] = "\\chess\\trainingdata\\junk1.bin";
    char corrhist_input[200] = "\\chess\\trainingdata\\bin\\2025_n6k.bin";
    char prune_input[200] = "\\chess\\trainingdata\\bin\\2025_n6k.bin";
    // -gentraindata: its openings ("mybook_6mv.epd" unless a name follows
    // the count), the share (per thousand) of moves replaced by a random
    // legal move (-genrandom), and the evaluation noise (-gennoise).
    char openings_input[200] = "mybook_6mv.epd";
    int random_move_permille = 0;
    int generator_noise = 99;
    // -mkopenings count file [book]: no book, random plies from the start.
    char openings_output[200] = "mybook_6mv.epd";
    int openings_wanted = 1000;
    char openings_book[200] = "";
};
