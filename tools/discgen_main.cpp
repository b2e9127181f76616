// discgen DESCRIPTION IMAGE [--expect OPTIONS]
//
// Writes the disc described in DESCRIPTION as IMAGE (*.sub deinterleaved,
// anything else raw interleaved P-W). With --expect, also prints to standard
// output what "qscan -OPTIONS" must print for it ("-" for no options).
#include "discgen.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

int main(int argc, char **argv) {
    if (argc != 3 && !(argc == 5 && std::string(argv[3]) == "--expect")) {
        std::cerr << "usage: discgen DESCRIPTION IMAGE [--expect OPTIONS]\n";
        return 2;
    }
    std::ifstream input(argv[1]);
    if (!input) {
        std::cerr << "discgen: cannot read " << argv[1] << "\n";
        return 1;
    }
    std::stringstream text;
    text << input.rdbuf();
    discgen_description description;
    const std::string error = discgen_parse(text.str(), &description);
    if (!error.empty()) {
        std::cerr << "discgen: " << argv[1] << ": " << error << "\n";
        return 1;
    }
    const std::vector<discgen_frame> frames = discgen_frames(description);
    const std::string image_path = argv[2];
    const bool deinterleaved =
        image_path.size() >= 4 && image_path.compare(image_path.size() - 4, 4, ".sub") == 0;
    const std::vector<uint8_t> image = discgen_image(frames, deinterleaved, description.seed);
    std::ofstream output(image_path, std::ios::binary);
    output.write(reinterpret_cast<const char *>(image.data()),
                 static_cast<std::streamsize>(image.size()));
    if (!output) {
        std::cerr << "discgen: cannot write " << image_path << "\n";
        return 1;
    }
    if (argc == 5) {
        const std::string options = argv[4] == std::string("-") ? "" : argv[4];
        std::cout << discgen_expected_report(frames, options);
    }
    return 0;
}
