#include "support/images.h"

#include "discgen.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

// Kept in a plain array so that it outlives the exit handler that removes it.
char scratch[64];

std::string scratch_folder() {
    if (scratch[0] == '\0') {
        std::snprintf(scratch, sizeof scratch, "/tmp/qscan-tests-XXXXXX");
        if (mkdtemp(scratch) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        std::atexit([] { std::filesystem::remove_all(scratch); });
    }
    return scratch;
}

} // namespace

std::string scratch_path(const std::string &name) {
    return scratch_folder() + "/" + name;
}

std::string write_image(const std::string &name, const std::vector<q_bytes> &frames) {
    std::vector<discgen_frame> generated(frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        std::copy(frames[i].begin(), frames[i].end(), generated[i].q);
    }
    const bool deinterleaved = name.size() > 4 && name.substr(name.size() - 4) == ".sub";
    return write_file(name, discgen_image(generated, deinterleaved, 7));
}

std::string write_file(const std::string &name, const std::vector<uint8_t> &bytes) {
    const std::string path = scratch_path(name);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return path;
}

std::string read_text(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::string> sample_disc_images(const std::string &name, const std::string &extra) {
    std::ifstream sample(QSCAN_SAMPLES "/sample.disc");
    std::stringstream text;
    text << sample.rdbuf();
    discgen_description description;
    if (discgen_parse(text.str() + extra, &description) != "") {
        std::abort();
    }
    const std::vector<discgen_frame> frames = discgen_frames(description);
    return {write_file(name + ".sub", discgen_image(frames, true, description.seed)),
            write_file(name + ".img", discgen_image(frames, false, description.seed))};
}
