#include "output.h"
#include <unistd.h>
#include <cstdarg>
#include <cstring>

OutputMode output_mode = {1, 0.0f};
SpinLock print_lock;
FILE* log_file = nullptr;
int command_echo = 1;
static std::atomic<bool> logging{false};

void set_logging(bool on) { logging.store(on, std::memory_order_relaxed); }
bool logging_on() { return logging.load(std::memory_order_relaxed) && log_file; }

static const char* const log_name = "vorn.log";

void engine_print(const char* text) {
    print_lock.lock();
    // One fwrite for text and line end, so a reader on a pipe never sees a
    // line in two halves from one call.
    size_t n = strlen(text);
    char small[8200];
    if (n + 1 <= sizeof small) {
        memcpy(small, text, n);
        small[n] = '\n';
        fwrite(small, 1, n + 1, stdout);
    } else {
        fwrite(text, 1, n, stdout);
        fputc('\n', stdout);
    }
    fflush(stdout);
    print_lock.unlock();
    if (logging.load(std::memory_order_relaxed)) log_write(text);
}

void engine_printf(const char* format, ...) {
    char text[8192];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    engine_print(text);
}

void log_write(const char* text) {
    if (!log_file) return;
    print_lock.lock();
    fprintf(log_file, "%s\n", text);
    fflush(log_file);
    print_lock.unlock();
}

bool open_log() {
    if (log_file) return true;
    if (access(log_name, F_OK) == 0 && unlink(log_name) != 0) {
        engine_print("log file in use.");
        return false;
    }
    log_file = fopen(log_name, "w");
    return log_file != nullptr;
}

void close_log() {
    if (!log_file) return;
    fclose(log_file);
    log_file = nullptr;
}
