// The merge: several scans of one disc, each frame placed at the LBA its own
// drive's offset gives it, combined sector by sector into one frame a
// sector. The scans are read in step, so only a window of sectors is held.
#pragma once

#include "subchannel/subchannel.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace report {

// At most this many scans are combined.
constexpr size_t MAX_SCANS = 16;

struct placed_frame {
    int64_t lba = 0;
    uint8_t q[SUBCHANNEL_Q_SIZE] = {};
};

// A scan's frames in the order read; false after the last.
using frame_source = std::function<bool(placed_frame *)>;

// Where a frame read at guess (its sector and its drive's offset) lies: a
// position frame at the time it names, a catalog or ISRC frame at the
// nearest sector of its frame number, when that is near; else at guess.
int64_t frame_lba(const uint8_t q[SUBCHANNEL_Q_SIZE], int64_t guess);

// What one sector gets of the frames the scans read there (nullptr: a scan
// has none there). stand_ins: the scans (bit 0 the first) whose drives drop
// code frames, sending a position frame in each one's place; such a frame
// yields to a catalog or ISRC frame of another scan. Of the rest, the good
// frame most scans read, then a position frame naming the sector, then the
// first scan's. Without a good frame, the first scan's damaged one. Two good
// frames that differ otherwise disagree: one drive is lying.
struct sector_choice {
    int chosen = -1; // -1: no scan read the sector
    std::vector<std::pair<size_t, size_t>> disagree;
};
sector_choice choose_frame(const uint8_t *const *frames, size_t count, int64_t lba,
                           uint32_t stand_ins = 0);

// Two scans that read sectors good and differently: the first such sector,
// and how many.
struct disagreement {
    size_t first_scan = 0, second_scan = 0; // from 0
    int64_t lba = 0;
    uint8_t first[SUBCHANNEL_Q_SIZE] = {}, second[SUBCHANNEL_Q_SIZE] = {};
    uint64_t sectors = 0;
};

struct merge_result {
    std::optional<int64_t> first_lba;        // none: not one frame
    uint64_t sectors = 0;                    // merged frames from first_lba on, one a sector
    std::vector<disagreement> disagreements; // at most one a pair of scans
    uint64_t unplaced = 0;                   // frames placed behind the window or at end and beyond
};

// Every sector from the first frame's to the last before end, in order.
merge_result
merge_scans(const std::vector<frame_source> &scans, int64_t end, uint32_t stand_ins,
            const std::function<void(int64_t lba, const uint8_t q[SUBCHANNEL_Q_SIZE])> &merged);

} // namespace report
