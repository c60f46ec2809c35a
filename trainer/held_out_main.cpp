// vorn-heldout: the fit of a network and of the hand-crafted evaluation
// to the training target on a training file (.bin) of games kept out of
// training.
//   vorn-heldout --data holdout.bin [--net file.nn] [--step 1]
#include <cstdio>
#include <cstdlib>
#include <string>
#include "eval/network.h"
#include "held_out.h"
#include "tool_start.h"

int main(int argc, char** argv) {
    start_training_tool();
    std::string data, net = "embedded";
    int step = 1;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string k = argv[i], v = argv[i + 1];
        if (k == "--data") data = v;
        else if (k == "--net") net = v;
        else if (k == "--step") step = atoi(v.c_str());
        else {
            fprintf(stderr, "unknown option %s\n", k.c_str());
            return 1;
        }
    }
    if (data.empty()) {
        fprintf(stderr, "usage: vorn-heldout --data FILE.bin [--net FILE.nn] [--step N]\n");
        return 1;
    }
    if (load_network(net.c_str(), 0.0f) != 1) {
        fprintf(stderr, "can't load the network %s\n", net.c_str());
        return 1;
    }
    if (read_training_file(data.c_str()) != 0) {
        fprintf(stderr, "can't read %s\n", data.c_str());
        return 1;
    }
    HeldOutLosses l = held_out_losses(training_records, training_count, step);
    release_training_file();
    printf("%lld positions: network %.5f, hand-crafted %.5f, recorded score %.5f\n", (long long)l.positions,
           l.network, l.handmade, l.recorded);
    printf("against the game results alone: network %.5f, hand-crafted %.5f, recorded score %.5f\n",
           l.network_result, l.handmade_result, l.recorded_result);
    return 0;
}
