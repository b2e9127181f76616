// Disc images for tests, written to a scratch folder that lives as long as
// the test binary.
#pragma once

#include "support/frames.h"

#include <vector>

// A path in the scratch folder.
std::string scratch_path(const std::string &name);

// Writes the frames as an image (name ending in .sub: deinterleaved) and
// returns its path.
std::string write_image(const std::string &name, const std::vector<q_bytes> &frames);

// Writes bytes as they are.
std::string write_file(const std::string &name, const std::vector<uint8_t> &bytes);

// A file's bytes as they are; "" for a file that cannot be read.
std::string read_text(const std::string &path);

// The bundled sample disc with extra description lines (a seed, a damage
// rate) as two images, NAME.sub and NAME.img; their paths in that order.
std::vector<std::string> sample_disc_images(const std::string &name, const std::string &extra);
