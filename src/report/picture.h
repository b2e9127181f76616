// The picture's bins while reading: at most PICTURE_BINS of them; when the
// disc outgrows them, neighbours merge and each covers twice the sectors.
// ISRC frames are kept by code, since their kinds are known only at the end.
#pragma once

#include "report/layout.h"

#include <functional>
#include <map>

namespace report {

// How a code read over some LBAs reads in the tracks there: own (0), a
// neighbour's (1) or wrong (2), the kindest of them.
int picture_kind(const disc_report &r, const std::vector<laid_track> &laid, int64_t from,
                 int64_t to, const std::string &code);

class picture_bins {
  public:
    void damaged(uint64_t sector) { ++bin(sector).damaged; }
    void catalog(uint64_t sector) { ++bin(sector).catalog; }
    void isrc(uint64_t sector, const std::string &code);

    // kind_at: own (0), a neighbour's (1) or wrong (2), for a code read in a
    // stretch of sectors.
    disc_picture finish(
        uint64_t sectors,
        const std::function<int(uint64_t first, uint64_t last, const std::string &code)> &kind_at);

  private:
    struct reading_bin {
        uint32_t damaged = 0, catalog = 0, unkept = 0;
        std::vector<std::pair<uint32_t, uint32_t>> isrcs; // code, frames
    };
    reading_bin &bin(uint64_t sector);
    static void add(reading_bin &bin, uint32_t id, uint32_t frames);

    std::vector<reading_bin> bins_;
    uint64_t sectors_per_bin_ = 75;
    std::map<std::string, uint32_t> ids_;
};

} // namespace report
