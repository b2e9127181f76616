// Disc images for tests, written to a scratch folder that lives as long as
// the test binary.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

using q_bytes = std::array<uint8_t, 12>;

// "01 01 01 00 ..." to bytes.
q_bytes q_from_hex(const std::string &hex);

// Ten bytes of frame data with the CRC the disc would store after them.
q_bytes q_sealed(std::array<uint8_t, 10> data);

// A position frame for the given BCD-free values, sealed.
q_bytes q_position(int track, int index, int rel_m, int rel_s, int rel_f, int abs_m, int abs_s,
                   int abs_f);

// An ISRC frame ("USRC17607839") and a catalog frame ("0724384960650"),
// sealed; abs_f is plain (converted to BCD here).
q_bytes q_recording(const std::string &isrc, int abs_f);
q_bytes q_catalog(const std::string &mcn, int abs_f);

// "01 01 01 ... " as the -r line prints it, newline included.
std::string raw_line(const q_bytes &q);

// A path in the scratch folder.
std::string scratch_path(const std::string &name);

// Writes the frames as an image (name ending in .sub: deinterleaved) and
// returns its path.
std::string write_image(const std::string &name, const std::vector<q_bytes> &frames);

// Writes bytes as they are.
std::string write_file(const std::string &name, const std::vector<uint8_t> &bytes);
