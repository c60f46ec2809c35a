// vorn-trainer: trains a network from feature records (.ptb files made by
// vorn -bin2ptb) and writes it in the engine's network format.
//   vorn-trainer --data a.ptb [--data b.ptb] --out net.nn [--epochs 10]
//                [--width 1280] [--batch 16384] [--lr 0.001] [--seed 1]
//                [--validation 0.05] [--threads 2] [--compare 2000]
//                [--init start.nn] [--lr-end 0.0001]
// --lr-end makes the learning rate fall geometrically from --lr in the
// first epoch to this value in the last.
// --data takes feature records (.ptb, vorn -bin2ptb) with their target as
// made, or training records (.bin, vorn -epd2bin), whose target is blended
// here: --result-weight of the game result (0.25 unless given) and the
// rest of the search score. --fit-scale prints, for each .bin file, the
// slope of sigmoid(k x score) that best predicts its game results.
// --init trains on from a network file of the built-in layout instead of
// random weights (its width replaces --width).
// --compare N loads the written network into the engine and measures how
// far its integer scores lie from the float model's on N held-out samples.
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>
#include "position/attacks.h"
#include "eval/network.h"
#include "position/zobrist.h"
#include "shell/settings.h"
#include "trainer.h"

int main(int argc, char** argv) {
    // Runs take hours with the output going to a log: each line shows as it is printed.
    setvbuf(stdout, nullptr, _IOLBF, 0);
    init_tables();
    init_zobrist();
    TrainerConfig config;
    std::vector<std::string> data;
    std::string out;
    long compare = 2000;
    std::string init;
    float result_weight = 0.25f;
    bool fit_scale = false;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string k = argv[i], v = argv[i + 1];
        if (k == "--data") data.push_back(v);
        else if (k == "--out") out = v;
        else if (k == "--epochs") config.epochs = atoi(v.c_str());
        else if (k == "--width") config.width = atoi(v.c_str());
        else if (k == "--batch") config.batch = atoi(v.c_str());
        else if (k == "--lr") config.learning_rate = float(atof(v.c_str()));
        else if (k == "--lr-end") config.final_learning_rate = float(atof(v.c_str()));
        else if (k == "--seed") config.seed = uint32_t(strtoul(v.c_str(), nullptr, 10));
        else if (k == "--validation") config.validation = float(atof(v.c_str()));
        else if (k == "--threads") config.threads = atoi(v.c_str());
        else if (k == "--compare") compare = atol(v.c_str());
        else if (k == "--init") init = v;
        else if (k == "--result-weight") result_weight = float(atof(v.c_str()));
        else if (k == "--fit-scale") fit_scale = v != "0";
        else {
            fprintf(stderr, "unknown argument %s\n", k.c_str());
            return 2;
        }
    }
    if (data.empty() || out.empty() || config.width < 1 || config.width > 8192 || config.batch < 1 ||
        result_weight < 0 || result_weight > 1) {
        fprintf(stderr, "usage: vorn-trainer --data FILE.ptb --out NET [--epochs N] [--width W] ...\n");
        return 2;
    }
    // Each file's last games are held out for validation (train() holds
    // out the tail of the samples), so that every file has its share.
    std::vector<Sample> samples, held;
    set_default_settings();
    output_mode.noise = SILENT_NOISE;
    for (auto& d : data) {
        std::vector<Sample> part;
        const bool records_file = d.size() > 4 && d.compare(d.size() - 4, 4, ".bin") == 0;
        if (records_file && fit_scale && read_training_file(d.c_str()) == 0) {
            ScaleFit fit = fit_result_scale(training_records, training_count);
            printf("%s: results fit the scores best at slope %.4f (loss %.6f; at 0.005 %.6f)\n", d.c_str(), fit.slope,
                   fit.best, fit.at_trained);
            release_training_file();
        }
        if (records_file) {
            if (!read_record_file(d, result_weight, part)) {
                fprintf(stderr, "can't read %s\n", d.c_str());
                return 1;
            }
        } else {
            std::vector<FeatureRecord> records;
            if (!read_feature_file(d, records)) {
                fprintf(stderr, "can't read %s\n", d.c_str());
                return 1;
            }
            part.reserve(records.size());
            for (auto& r : records) {
                Sample s;
                if (sample_from_record(r, s)) part.push_back(s);
            }
        }
        const size_t tail = size_t(double(part.size()) * config.validation);
        samples.insert(samples.end(), part.begin(), part.end() - long(tail));
        held.insert(held.end(), part.end() - long(tail), part.end());
    }
    const size_t held_count = held.size();
    samples.insert(samples.end(), held.begin(), held.end());
    held.clear();
    held.shrink_to_fit();
    printf("%zu samples\n", samples.size());
    Model model;
    if (init.empty()) {
        init_model(model, config.width, config.seed);
    } else {
        set_default_settings();
        output_mode.noise = SILENT_NOISE;
        if (load_network(init.c_str(), 0.0f) != 1 || !model_from_loaded_network(model)) {
            fprintf(stderr, "%s is not a network of the built-in layout\n", init.c_str());
            return 1;
        }
        config.width = model.width;
    }
    double loss = train(model, samples, held_count, config);
    int clamped = 0;
    if (!write_network(model, out, &clamped)) {
        fprintf(stderr, "can't write %s\n", out.c_str());
        return 1;
    }
    if (clamped)
        printf("warning: %d weights were beyond the file's limit of +-8191 and were cut to it\n", clamped);
    printf("wrote %s, validation loss %.6f\n", out.c_str(), loss);
    if (compare > 0) {
        // The held-out samples are the last ones after training.
        const size_t held = std::min(held_count, size_t(compare));
        set_default_settings();
        output_mode.noise = SILENT_NOISE;
        Agreement a;
        if (!compare_with_engine(model, samples.data() + samples.size() - held, held, out, a)) {
            fprintf(stderr, "the engine did not load %s\n", out.c_str());
            return 1;
        }
        printf("engine against float model on %d held-out positions: mean %.2f cp, worst %.1f cp\n", a.compared,
               a.mean, a.worst);
    }
    return 0;
}
