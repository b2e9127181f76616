// Q frames for tests, built the way a disc stores them.
#pragma once

#include <array>
#include <cstdint>
#include <string>

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
