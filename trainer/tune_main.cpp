// vorn-tune: Texel-style tuning of the hand-crafted weights on training
// records (.bin files made by vorn -epd2bin), starting from the built-in
// weights; writes the tuned parameter text.
//   vorn-tune --data a.bin [--data b.bin] --out params.txt [--sweeps 10]
//             [--step 1] [--threads 2] [--limit N]
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>
#include "eval/params.h"
#include "search/thread.h"
#include "tools/training_data.h"
#include "tune_hce.h"
#include "tool_start.h"

int main(int argc, char** argv) {
    start_training_tool();
    TuneConfig config;
    std::vector<std::string> data;
    std::string out;
    long long limit = -1;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string k = argv[i], v = argv[i + 1];
        if (k == "--data") data.push_back(v);
        else if (k == "--out") out = v;
        else if (k == "--sweeps") config.sweeps = atoi(v.c_str());
        else if (k == "--step") config.step = atoi(v.c_str());
        else if (k == "--threads") config.threads = atoi(v.c_str());
        else if (k == "--limit") limit = atoll(v.c_str());
        else {
            fprintf(stderr, "unknown argument %s\n", k.c_str());
            return 2;
        }
    }
    if (data.empty() || out.empty() || config.step < 1) {
        fprintf(stderr, "usage: vorn-tune --data FILE.bin --out params.txt [--sweeps N] [--step S]\n");
        return 2;
    }
    auto* reader = static_cast<SearchThread*>(calloc(1, sizeof(SearchThread)));
    attach_position(*reader);
    std::vector<TuneSample> samples;
    for (auto& d : data) {
        if (read_training_file(d.c_str()) != 0) {
            fprintf(stderr, "can't read %s\n", d.c_str());
            return 1;
        }
        for (int64_t i = 0; i < training_count && (limit < 0 || (long long)samples.size() < limit); i++) {
            float target;
            if (!record_to_position(training_records, i, reader->pos, &target)) continue;
            TuneSample s;
            s.pos = reader->pos;
            s.result = float(score_to_probability(training_records[i].result));
            samples.push_back(s);
        }
        release_training_file();
    }
    printf("%zu positions\n", samples.size());
    double error = tune_parameters(samples, config);
    std::ofstream(out) << param_text();
    printf("wrote %s, error %.8f\n", out.c_str(), error);
    return 0;
}
