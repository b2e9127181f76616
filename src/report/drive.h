// The drive check: for every position frame, its offset (the sector its own
// time names less the sector it was read at). A frame that agrees with one
// of the two before it is trusted (a drive that jitters from frame to frame
// still agrees with every other frame); a change of the trusted offset is a
// slip, and a return to an offset held before is jitter.
#pragma once

#include "report/report.h"

#include <map>
#include <set>

namespace report {

struct jitter {
    std::vector<int64_t> offsets; // every offset held, in order
    uint64_t first_sector = 0, last_sector = 0;
    uint64_t switches = 0;
};

class drive_timeline {
  public:
    // A position frame read at sector naming lba: whether it agrees with the
    // frame before (both are to be trusted), only with the one before that
    // (it is), or with neither.
    enum class agreement { none, with_last, with_one_before };
    agreement position(uint64_t sector, int64_t lba);

    // The trusted offset in force; 0 before any.
    int64_t offset() const { return offset_.value_or(0); }

    drive_report report(const frame_counts &frames, uint64_t sectors) const;
    std::optional<jitter> jitter_seen() const;

  private:
    void trust(uint64_t sector, int64_t offset);

    std::map<int64_t, uint64_t> counts_;
    uint64_t position_frames_ = 0;
    struct seen {
        uint64_t sector;
        int64_t offset;
    };
    std::optional<seen> last_, before_; // the last two position frames
    std::optional<int64_t> offset_;
    std::vector<slip> slips_;
    uint64_t slip_count_ = 0;
    std::set<int64_t> held_; // offsets held, up to a few
    std::vector<int64_t> held_order_;
    uint64_t switches_back_ = 0, first_back_ = 0, last_back_ = 0;
};

} // namespace report
