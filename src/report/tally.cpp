#include "report/tally.h"

#include <algorithm>

namespace report {

void frame_tally::damaged(int64_t lba) {
    if (!runs_.empty() && runs_.back().last + 1 == lba) {
        ++runs_.back().last;
        ++runs_.back().frames;
        return;
    }
    if (runs_.size() == MAX_DAMAGE_RUNS) {
        // Neighbours merge: the runs stay few, their counts exact.
        std::vector<damage_run> merged;
        for (size_t i = 0; i < runs_.size(); i += 2) {
            damage_run run = runs_[i];
            if (i + 1 < runs_.size()) {
                run.first = std::min(run.first, runs_[i + 1].first);
                run.last = std::max(run.last, runs_[i + 1].last);
                run.frames += runs_[i + 1].frames;
            }
            merged.push_back(run);
        }
        runs_ = std::move(merged);
    }
    runs_.push_back({lba, lba, 1});
}

uint64_t frame_tally::damaged_in(int64_t first, int64_t last) const {
    uint64_t out = 0;
    for (const damage_run &run : runs_) {
        const int64_t from = std::max(first, run.first), to = std::min(last, run.last);
        if (from <= to) {
            const auto span = static_cast<uint64_t>(run.last - run.first + 1);
            out += run.frames * static_cast<uint64_t>(to - from + 1) / span;
        }
    }
    return out;
}

} // namespace report
