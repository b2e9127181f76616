// Writes the fuzzers' seed corpora from generated discs:
//   make_seeds OUTPUT_FOLDER
// makes OUTPUT_FOLDER/{sector,command_line,scan_image}/.
#include "discgen.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

void write(const std::filesystem::path &path, const std::vector<uint8_t> &bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::cerr << "usage: make_seeds OUTPUT_FOLDER\n";
        return 2;
    }
    const std::filesystem::path root = argv[1];
    for (const char *folder : {"sector", "command_line", "scan_image", "report"}) {
        std::filesystem::create_directories(root / folder);
    }

    discgen_description description;
    const std::string error = discgen_parse("mcn 0724384960650\nmcn_every 7\nisrc_every 5\n"
                                            "damage 0.1\nseed 5\n"
                                            "track USRC17607839 length 0:00.40\n"
                                            "track - pregap 0:00.10 length 0:00.20\n"
                                            "leadout 0:00.05\nat 3 data_error\nat 4 mode 5\n",
                                            &description);
    if (!error.empty()) {
        std::cerr << error << "\n";
        return 1;
    }
    const std::vector<discgen_frame> frames = discgen_frames(description);
    const std::vector<uint8_t> raw = discgen_image(frames, false, 5);
    const std::vector<uint8_t> sub = discgen_image(frames, true, 5);

    // Sectors: raw blocks (first byte even), and sealed payloads (odd).
    for (size_t first = 0; first + 8 <= frames.size(); first += 8) {
        std::vector<uint8_t> blocks = {0x00};
        blocks.insert(blocks.end(), raw.begin() + static_cast<long>(first * 96),
                      raw.begin() + static_cast<long>((first + 8) * 96));
        write(root / "sector" / ("raw-" + std::to_string(first)), blocks);
        std::vector<uint8_t> payloads = {0x01};
        for (size_t i = first; i < first + 8; ++i) {
            payloads.insert(payloads.end(), frames[i].q, frames[i].q + 10);
        }
        write(root / "sector" / ("sealed-" + std::to_string(first)), payloads);
    }

    const std::vector<std::string> command_lines = {std::string("X:"),
                                                    std::string("-r\0X:", 5),
                                                    std::string("-r\0-p\0-t\0-c\0-i\0-e\0X:", 20),
                                                    std::string("-x\0X:", 5),
                                                    std::string("X:\0-r", 5),
                                                    std::string("-\0", 2)};
    for (size_t i = 0; i < command_lines.size(); ++i) {
        write(root / "command_line" / std::to_string(i),
              std::vector<uint8_t>(command_lines[i].begin(), command_lines[i].end()));
    }

    // Images: the generator's raw layout starts with an even byte only by
    // chance, so each gets the layout byte the fuzzer reads first.
    std::vector<uint8_t> raw_image = raw, sub_image = sub;
    raw_image[0] &= 0xFE;
    sub_image[0] |= 0x01;
    write(root / "scan_image" / "raw", raw_image);
    write(root / "scan_image" / "sub", sub_image);
    write(root / "scan_image" / "partial", std::vector<uint8_t>(raw.begin(), raw.begin() + 150));

    // The report: what qscan -r and qscan -c -i print for the disc, and its
    // frames as sealed payloads.
    for (const char *options : {"r", "ci", "rptcie"}) {
        const std::string printed = discgen_expected_report(frames, options);
        std::vector<uint8_t> text = {0x00};
        text.insert(text.end(), printed.begin(), printed.end());
        write(root / "report" / (std::string("lines-") + options), text);
    }
    std::vector<uint8_t> payloads = {0x01};
    for (const discgen_frame &frame : frames) {
        payloads.insert(payloads.end(), frame.q, frame.q + 10);
    }
    write(root / "report" / "sealed", payloads);
    return 0;
}
