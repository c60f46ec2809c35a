// -bench through the executable: its lines, the repeatable node count of
// one thread, and the summary of what the figures were measured with
// (from depth 10 on the table has the size asked for).
#include <gtest/gtest.h>
#include <regex>
#include "../shell/engine_process.h"

namespace {

struct BenchRun {
    int positions = 0;
    long long nodes = -1;
    std::string setup;
};

BenchRun bench(const std::vector<std::string>& args) {
    std::vector<std::string> out;
    BenchRun r;
    EXPECT_EQ(run_engine(args, {}, out), 0);
    std::smatch m;
    for (auto& l : out) {
        if (std::regex_match(l, std::regex("pos +\\d+: +[0-9.]+ seconds"))) r.positions++;
        if (std::regex_match(l, m, std::regex("total time= [0-9.]+ seconds, nodes= (\\d+), nps= \\d+")))
            r.nodes = std::stoll(m[1]);
        if (l.rfind("evaluation= ", 0) == 0) r.setup = l;
    }
    return r;
}

}  // namespace

TEST(Bench, TwentyPositionsRepeatableNodesAndTheSetupLine) {
    BenchRun a = bench({"-d", "10", "-bench"});
    EXPECT_EQ(a.positions, 20);
    EXPECT_GT(a.nodes, 20);
    EXPECT_EQ(a.setup, "evaluation= network, hash= 64 MB, threads= 1");
    // One thread searches the same tree every time.
    EXPECT_EQ(bench({"-d", "10", "-bench"}).nodes, a.nodes);
    BenchRun h = bench({"-use_hce", "-hash", "16", "-d", "10", "-bench"});
    EXPECT_EQ(h.positions, 20);
    EXPECT_EQ(h.setup, "evaluation= hand-crafted, hash= 16 MB, threads= 1");
    EXPECT_NE(h.nodes, a.nodes);  // another evaluation, another tree
}
