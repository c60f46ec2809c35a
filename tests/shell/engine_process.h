// Runs the built engine as a child process with pipes on its standard
// input and output, so tests can hold a real protocol session with it.
// Every wait has a time limit; a child still running at the end is killed.
#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

class EngineProcess {
public:
    // Starts VORN_EXE with the given arguments in directory cwd (the
    // current directory when empty).
    // A memory limit (megabytes of address space, 0 for none) lets a test
    // see what the engine does when memory cannot be had.
    explicit EngineProcess(const std::vector<std::string>& args = {}, const std::string& cwd = "",
                           size_t memory_limit_mb = 0);
    ~EngineProcess();
    EngineProcess(const EngineProcess&) = delete;
    EngineProcess& operator=(const EngineProcess&) = delete;

    void send(const std::string& line) { send_raw(line + "\n"); }
    void send_raw(const std::string& bytes);
    void close_input();
    // Sends the termination signal (as a user ending a long tool run would).
    void terminate();

    // Reads lines until one satisfies match; that line, or nothing when the
    // time ran out or the output ended first.
    std::optional<std::string> wait_for(const std::function<bool(const std::string&)>& match,
                                        double seconds = 20);
    std::optional<std::string> wait_for_prefix(const std::string& prefix, double seconds = 20);
    // The next line, or nothing.
    std::optional<std::string> next_line(double seconds = 20);
    // Reads up to and including the calibration line that ends the start-up.
    bool skip_startup(double seconds = 20) { return wait_for_prefix("info string et= ", seconds).has_value(); }
    // Every line read so far.
    const std::vector<std::string>& lines() const { return lines_; }

    // Exit status, or -1 when the process did not end in time (it is killed)
    // or died from a signal.
    int wait_exit(double seconds = 20);
    // Closes the input, reads everything up to the end of the output and
    // returns the exit status as wait_exit does.
    int finish(double seconds = 20);

private:
    bool fill(double deadline);
    int pid_ = -1;
    int in_fd_ = -1;
    int out_fd_ = -1;
    bool out_ended_ = false;
    std::string pending_;
    std::vector<std::string> lines_;
    size_t consumed_ = 0;
};

// A fresh empty directory, removed with its contents at the end of scope.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Convenience: runs the engine with arguments and input lines, closes the
// input and returns the exit status; the output lines go to out.
int run_engine(const std::vector<std::string>& args, const std::vector<std::string>& input,
               std::vector<std::string>& out, const std::string& cwd = "");

bool starts_with(const std::string& s, const std::string& prefix);

// The lines an interactive start prints before it reads commands: the
// greeting, the table allocation, the network and the speed calibration.
bool is_startup_line(const std::string& line);
std::vector<std::string> without_startup(const std::vector<std::string>& lines);
// A log or output text with those lines taken out.
std::string without_startup(const std::string& text);
