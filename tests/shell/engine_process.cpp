#include "engine_process.h"
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

static double now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

bool starts_with(const std::string& s, const std::string& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

EngineProcess::EngineProcess(const std::vector<std::string>& args, const std::string& cwd, size_t memory_limit_mb) {
    // A write to an engine that has already gone must fail, not kill the test.
    signal(SIGPIPE, SIG_IGN);
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return;
    std::vector<std::string> words = {VORN_EXE};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
        if (memory_limit_mb) {
            rlimit limit;
            limit.rlim_cur = limit.rlim_max = rlim_t(memory_limit_mb) << 20;
            if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(125);
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    in_fd_ = in[1];
    out_fd_ = out[0];
}

EngineProcess::~EngineProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (in_fd_ >= 0) close(in_fd_);
    if (out_fd_ >= 0) close(out_fd_);
}

void EngineProcess::send_raw(const std::string& bytes) {
    size_t done = 0;
    while (in_fd_ >= 0 && done < bytes.size()) {
        ssize_t n = write(in_fd_, bytes.data() + done, bytes.size() - done);
        if (n <= 0) break;
        done += size_t(n);
    }
}

void EngineProcess::close_input() {
    if (in_fd_ >= 0) close(in_fd_);
    in_fd_ = -1;
}

// Reads what is there (waiting until the deadline for something); false
// when nothing more can come.
bool EngineProcess::fill(double deadline) {
    if (out_ended_ || out_fd_ < 0) return false;
    double left = deadline - now();
    if (left < 0) left = 0;
    pollfd p = {out_fd_, POLLIN, 0};
    int r = poll(&p, 1, int(left * 1000));
    if (r <= 0) return false;
    char buf[65536];
    ssize_t n = read(out_fd_, buf, sizeof buf);
    if (n <= 0) {
        out_ended_ = true;
        if (!pending_.empty()) lines_.push_back(pending_), pending_.clear();
        return false;
    }
    pending_.append(buf, size_t(n));
    size_t nl;
    while ((nl = pending_.find('\n')) != std::string::npos) {
        lines_.push_back(pending_.substr(0, nl));
        pending_.erase(0, nl + 1);
    }
    return true;
}

std::optional<std::string> EngineProcess::wait_for(const std::function<bool(const std::string&)>& match,
                                                    double seconds) {
    double deadline = now() + seconds;
    for (;;) {
        while (consumed_ < lines_.size()) {
            const std::string& l = lines_[consumed_++];
            if (match(l)) return l;
        }
        if (!fill(deadline) && (out_ended_ || now() >= deadline)) {
            if (consumed_ < lines_.size()) continue;
            return std::nullopt;
        }
    }
}

std::optional<std::string> EngineProcess::wait_for_prefix(const std::string& prefix, double seconds) {
    return wait_for([&](const std::string& l) { return starts_with(l, prefix); }, seconds);
}

std::optional<std::string> EngineProcess::next_line(double seconds) {
    return wait_for([](const std::string&) { return true; }, seconds);
}

int EngineProcess::wait_exit(double seconds) {
    if (pid_ <= 0) return -1;
    double deadline = now() + seconds;
    int status = 0;
    for (;;) {
        pid_t r = waitpid(pid_, &status, WNOHANG);
        if (r == pid_) break;
        if (now() >= deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int EngineProcess::finish(double seconds) {
    close_input();
    double deadline = now() + seconds;
    while (fill(deadline) || (!out_ended_ && now() < deadline)) {
    }
    return wait_exit(deadline - now() > 0 ? deadline - now() : 0.1);
}

TempDir::TempDir() {
    char name[] = "/tmp/vorn_test_XXXXXX";
    if (mkdtemp(name)) path_ = name;
}

TempDir::~TempDir() {
    if (path_.empty()) return;
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

int run_engine(const std::vector<std::string>& args, const std::vector<std::string>& input,
               std::vector<std::string>& out, const std::string& cwd) {
    EngineProcess e(args, cwd);
    for (auto& l : input) e.send(l);
    int status = e.finish();
    out = e.lines();
    return status;
}

bool is_startup_line(const std::string& line) {
    return starts_with(line, "info string Hello from ") || starts_with(line, "info string allocated ") ||
           line == "info string cleared hash table" || line == "info string loaded embedded network" ||
           starts_with(line, "info string et= ");
}

std::vector<std::string> without_startup(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    for (auto& l : lines)
        if (!is_startup_line(l)) out.push_back(l);
    return out;
}

std::string without_startup(const std::string& text) {
    std::string out, line;
    for (char c : text) {
        if (c != '\n') {
            line += c;
            continue;
        }
        if (!is_startup_line(line)) out += line + "\n";
        line.clear();
    }
    return out + line;
}

void EngineProcess::terminate() {
    if (pid_ > 0) kill(pid_, SIGTERM);
}
