// Process start-up: preparing the process, the command-line switches and
// the choice of the one mode that runs.
#pragma once

// Absolute directory of the executable, with forward slashes.
extern char exe_dir[200];
// calibration_nps and calibrated_elo, measured here, are the search's.
#include "../search/strength.h"
#include "../tools/tool_arguments.h"

enum EngineMode {
    MODE_ENGINE = 0,
    MODE_ANEPD,
    MODE_SCAN_PGN,
    MODE_BENCH,
    MODE_PBENCH,
    MODE_MKCONFIG,
    MODE_MKBOOK,
    MODE_MKBOOK2,
    MODE_EPD2BIN,
    MODE_BIN2EPD,
    MODE_BIN2PTB,
    MODE_PRUNE_NN,
    MODE_GENCORRHIST,
    MODE_FILTERTRAINDATA,
    MODE_GENTRAINDATA,
    MODE_SCORETRAINDATA,
    MODE_TRAIN,
    MODE_TDSTATS,
    MODE_MKOPENINGS,
    MODE_QUIETTRAINDATA,
};

// Streams, executable directory, seed, the main and game blocks, the
// tables and the default settings. 0, or 1 when memory is short.
int prepare_process(const char* program);
// Reads the switches left to right into the settings and the tools'
// arguments. 0, or the exit status of a bad command line.
int read_switches(int argc, char** argv, EngineMode& mode, ToolArguments& tools);
// The whole program: start-up, the mode, and the release; the exit status.
int engine_main(int argc, char** argv);
