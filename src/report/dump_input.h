// Reading a sub-channel dump instead of qscan's output: 96 bytes a sector,
// either deinterleaved as disc-dumping programs write a .sub beside an image
// (12 bytes of P, then 12 of Q, ...) or raw interleaved P-W as READ CD
// returns it. Each sector's Q frame goes to the same analysis as a raw line.
#pragma once

#include "subchannel/subchannel.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

namespace report {

enum class dump_layout { deinterleaved, interleaved };

struct dump_result {
    std::string error;        // "" when the whole file was read
    uint64_t sectors = 0;     // whole sectors read
    uint64_t stray_bytes = 0; // a partial sector at the end, not read
};

// Hands each whole sector's Q frame, in order, to sector; progress is
// called every few thousand sectors.
dump_result read_subchannel_dump(FILE *file, const std::string &name, dump_layout layout,
                                 const std::function<void(const uint8_t *q)> &sector,
                                 const std::function<void()> &progress);

} // namespace report
