#include "report/drive.h"

#include "report/vote.h"

namespace report {

namespace {

// Distinct offsets counted, and offsets remembered for jitter: a drive that
// holds more is no drive, and garbage must not make the lists grow.
constexpr size_t MAX_DISTINCT_OFFSETS = 256;
constexpr size_t MAX_HELD_OFFSETS = 16;

} // namespace

drive_timeline::agreement drive_timeline::position(uint64_t sector, int64_t lba) {
    const int64_t offset = lba - static_cast<int64_t>(sector);
    ++position_frames_;
    const auto found = counts_.find(offset);
    if (found != counts_.end()) {
        ++found->second;
    } else if (counts_.size() < MAX_DISTINCT_OFFSETS) {
        counts_.emplace(offset, 1);
    }
    agreement out = agreement::none;
    if (last_ && last_->offset == offset) {
        trust(last_->sector, offset);
        out = agreement::with_last;
    } else if (before_ && before_->offset == offset) {
        trust(sector, offset);
        out = agreement::with_one_before;
    }
    before_ = last_;
    last_ = seen{sector, offset};
    return out;
}

void drive_timeline::trust(uint64_t sector, int64_t offset) {
    if (offset_ == offset) {
        return;
    }
    if (offset_) {
        if (slips_.size() < MAX_SLIPS) {
            slips_.push_back({sector, offset, *offset_});
        }
        ++slip_count_;
        if (held_.count(offset) != 0) {
            first_back_ = switches_back_++ == 0 ? slips_.front().sector : first_back_;
            last_back_ = sector;
        }
    }
    if (held_.size() < MAX_HELD_OFFSETS && held_.insert(offset).second) {
        held_order_.push_back(offset);
    }
    offset_ = offset;
}

std::optional<jitter> drive_timeline::jitter_seen() const {
    if (switches_back_ == 0) {
        return std::nullopt;
    }
    return jitter{held_order_, first_back_, last_back_, slip_count_};
}

drive_report drive_timeline::report(const frame_counts &frames, uint64_t sectors) const {
    drive_report d;
    d.position_frames = position_frames_;
    d.q_offset = majority(counts_);
    if (d.q_offset) {
        d.q_offset_share =
            static_cast<double>(counts_.at(*d.q_offset)) / static_cast<double>(position_frames_);
    }
    d.slips = slips_;
    d.slip_count = slip_count_;
    const double damaged = static_cast<double>(frames.crc_error + frames.data_error);
    d.usable_q =
        position_frames_ > 0 && damaged < UNUSABLE_Q_SHARE * static_cast<double>(sectors) &&
        static_cast<double>(frames.all_zero) < UNUSABLE_Q_SHARE * static_cast<double>(sectors);
    return d;
}

} // namespace report
