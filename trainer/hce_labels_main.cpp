// vorn-hce-labels: random walks from the positions of a training file
// (.bin, as vorn -epd2bin writes it), the quiet positions they reach
// labelled with the built-in hand-crafted evaluation, written as feature
// records (.ptb) for vorn-trainer.
//   vorn-hce-labels --data filtered.bin --out hce.ptb [--walks 8]
//                   [--plies 6] [--seed 1] [--threads 2]
//                   [--depth 0] [--part 0 --parts 1]
// --depth N labels with an N-ply search of the hand-crafted evaluation
// instead of its static score, on one thread; with --eval network that
// search uses the built-in network (or the file --net names) instead; --part k --parts n keeps
// the k-th of n interleaved shares of the walks, so that n processes can
// label one file together (their outputs joined hold the positions of one
// run, in another order; searched scores can differ a little, since each
// process's search starts from its own table).
#include <cstdio>
#include <cstdlib>
#include <string>
#include "eval/network.h"
#include "hce_labels.h"
#include "search/hash.h"
#include "shell/settings.h"
#include "shell/startup.h"
#include "shell/uci.h"
#include "tool_start.h"
#include "tools/training_tools.h"

int main(int argc, char** argv) {
    setvbuf(stdout, nullptr, _IOLBF, 0);
    start_training_tool();
    LabelConfig config;
    std::string data, out, eval = "hce", net;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string k = argv[i], v = argv[i + 1];
        if (k == "--data") data = v;
        else if (k == "--out") out = v;
        else if (k == "--walks") config.walks = atoi(v.c_str());
        else if (k == "--plies") config.max_plies = atoi(v.c_str());
        else if (k == "--seed") config.seed = uint32_t(strtoul(v.c_str(), nullptr, 10));
        else if (k == "--threads") config.threads = atoi(v.c_str());
        else if (k == "--depth") config.depth = atoi(v.c_str());
        else if (k == "--part") config.part = atoi(v.c_str());
        else if (k == "--parts") config.parts = atoi(v.c_str());
        else if (k == "--eval") eval = v;
        else if (k == "--net") net = v;
        else {
            fprintf(stderr, "unknown option %s\n", k.c_str());
            return 1;
        }
    }
    if (data.empty() || out.empty() || config.walks < 1 || config.max_plies < 1 || config.depth < 0 ||
        config.depth > 60 || config.parts < 1 || config.part < 0 || config.part >= config.parts ||
        (eval != "hce" && eval != "network") || (eval == "network" && config.depth == 0)) {
        fprintf(stderr, "usage: vorn-hce-labels --data FILE.bin --out FILE.ptb [--walks N] [--plies N] ...\n");
        return 1;
    }
    if (config.depth > 0) {
        // The search needs the engine's thread blocks and kings-and-pawn
        // table. Setting them up restores the default settings and leaves
        // stdout unbuffered, so line buffering comes back here.
        if (prepare_process(argv[0])) return 1;
        setvbuf(stdout, nullptr, _IOLBF, 0);
        eval_options.use_nn = eval == "network";
        if (eval_options.use_nn && !net.empty()) {
            if (load_network(net.c_str(), 0.0f) != 1) {
                fprintf(stderr, "can't load the network %s\n", net.c_str());
                return 1;
            }
        }
        settings.hash_mb = 16;
        quiet_full_strength();
        end_of_input_quits = 0;
        if (!allocate_hash(settings.hash_mb, false)) return 1;
    }
    if (read_training_file(data.c_str()) != 0) {
        fprintf(stderr, "can't read %s\n", data.c_str());
        return 1;
    }
    const long long walks = (long long)share_records(training_count, config) * config.walks;
    std::vector<FeatureRecord> labelled = hce_labelled_walks(training_records, training_count, config);
    release_training_file();
    FILE* f = fopen(out.c_str(), "wb");
    if (!f || fwrite(labelled.data(), sizeof(FeatureRecord), labelled.size(), f) != labelled.size()) {
        fprintf(stderr, "can't write %s\n", out.c_str());
        if (f) fclose(f);
        return 1;
    }
    fclose(f);
    printf("wrote %zu labelled positions from %lld walks to %s\n", labelled.size(), walks, out.c_str());
    return 0;
}
