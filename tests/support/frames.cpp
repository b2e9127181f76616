#include "support/frames.h"

#include "discgen.h"

#include <cstdio>
#include <sstream>

namespace {

uint8_t bcd(int value) {
    return static_cast<uint8_t>((value / 10) << 4 | value % 10);
}

} // namespace

q_bytes q_from_hex(const std::string &hex) {
    q_bytes q{};
    std::istringstream words(hex);
    for (uint8_t &byte : q) {
        unsigned value = 0;
        words >> std::hex >> value;
        byte = static_cast<uint8_t>(value);
    }
    return q;
}

q_bytes q_sealed(std::array<uint8_t, 10> data) {
    q_bytes q{};
    std::copy(data.begin(), data.end(), q.begin());
    discgen_seal(q.data());
    return q;
}

q_bytes q_position(int track, int index, int rel_m, int rel_s, int rel_f, int abs_m, int abs_s,
                   int abs_f) {
    return q_sealed({0x01, track == 110 ? uint8_t{0xAA} : bcd(track), bcd(index), bcd(rel_m),
                     bcd(rel_s), bcd(rel_f), 0, bcd(abs_m), bcd(abs_s), bcd(abs_f)});
}

q_bytes q_recording(const std::string &isrc, int abs_f) {
    std::array<uint8_t, 10> data{0x03};
    discgen_put_recording(data.data(), isrc, static_cast<uint32_t>(abs_f));
    return q_sealed(data);
}

q_bytes q_catalog(const std::string &mcn, int abs_f) {
    std::array<uint8_t, 10> data{0x02};
    discgen_put_catalog(data.data(), mcn, static_cast<uint32_t>(abs_f));
    return q_sealed(data);
}

std::string raw_line(const q_bytes &q) {
    std::string line;
    char hex[4];
    for (uint8_t byte : q) {
        std::snprintf(hex, sizeof hex, "%02x ", byte);
        line += hex;
    }
    return line + "\n";
}
