// The one route for protocol output, and the log file that copies it. The
// lowest layer of the engine: every folder may print through it.
#pragma once
#include <atomic>
#include <cstdint>
#include <cstdio>

// Busy-waiting lock: it is held only for one write and one flush, so
// sleeping on a mutex would cost more than it saves.
struct SpinLock {
    std::atomic_flag flag = ATOMIC_FLAG_INIT;
    void lock() {
        while (flag.test_and_set(std::memory_order_acquire)) {
        }
    }
    void unlock() { flag.clear(std::memory_order_release); }
};

// How the engine speaks: the protocol or the console dialect, and how long
// a search runs before its lines are printed.
struct OutputMode {
    uint8_t uci_mode;
    float noise;  // seconds before the search reports; SILENT_NOISE: never
};
extern OutputMode output_mode;

// The noise value of a search that prints nothing: tools, tests and the
// training-data generator.
constexpr float SILENT_NOISE = 99999.0f;

extern SpinLock print_lock;
extern FILE* log_file;
// While set (and the log is on) every received command line goes to the log.
extern int command_echo;

// Writes text and a line end to standard output as one piece, and copies
// it to the log when logging is on.
void engine_print(const char* text);
void engine_printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Writes text and a line end to the log only, when it is open.
void log_write(const char* text);
// Whether printed lines are copied to the log (the Log option); the log
// must also be open.
void set_logging(bool on);
bool logging_on();
// Opens vorn.log afresh in the working directory; false, with a note, when
// it cannot be had.
bool open_log();
void close_log();
