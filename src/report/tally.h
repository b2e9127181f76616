// Counts of the frames read, and where the damaged ones lie: runs of disc
// positions, at most MAX_DAMAGE_RUNS of them.
#pragma once

#include "report/report.h"

namespace report {

// Damaged frames over a stretch of LBAs; a merged run spans gaps.
struct damage_run {
    int64_t first, last;
    uint64_t frames;
};

class frame_tally {
  public:
    frame_counts counts;

    // A damaged frame at the disc position the drive's offset gives it.
    void damaged(int64_t lba);

    // Damaged frames from first to last, a merged run counted by its share.
    uint64_t damaged_in(int64_t first, int64_t last) const;

  private:
    std::vector<damage_run> runs_;
};

} // namespace report
