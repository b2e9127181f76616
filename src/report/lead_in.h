// The table of contents a lead-in carries, read from a dump that holds it:
// mode-1 frames whose track number is 00, each naming a point by its
// P-time (a track's start, the first and last track numbers, the lead-out).
#pragma once

#include "report/report.h"
#include "subchannel/subchannel.h"

#include <array>
#include <map>

namespace report {

// Whether the ten bytes after the first are the BCD a position frame
// carries: every nibble a digit, but the lead-out's track number AA and,
// in a lead-in, the points A0 to A2.
bool position_bcd_holds(const uint8_t q[SUBCHANNEL_Q_SIZE]);

class lead_in_reader {
  public:
    // Whether q, read at sector, is a lead-in TOC frame with a good CRC;
    // such a frame is taken in.
    bool add(const uint8_t q[SUBCHANNEL_Q_SIZE], uint64_t sector);

    std::optional<lead_in_toc> toc() const;

    // Runs of sectors the lead-ins were read at.
    struct run {
        uint64_t first, last;
    };
    const std::vector<run> &runs() const { return runs_; }

  private:
    std::map<int, std::map<int64_t, uint32_t>> points_; // point: value, frames
    std::map<int, std::array<uint32_t, 16>> controls_;
    std::vector<run> runs_;
};

} // namespace report
