#include "report/merge.h"

#include "report/analysis.h"
#include "report/input.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>

namespace report {

namespace {

// Sectors held while the scans are read in step: a frame placed further
// behind the slowest scan than this is left out.
constexpr int64_t WINDOW = 1024;

enum class frame_class { damaged, position, code, other };

frame_class class_of(const uint8_t *q, subq *frame) {
    // A frame whose CRC holds but not its fields is still what the drive sent.
    if (subchannel_decode_q(q, frame) == SUBQ_CRC_ERROR) {
        return frame_class::damaged;
    }
    const int mode = subq_mode(frame);
    return mode == 1                ? frame_class::position
           : mode == 2 || mode == 3 ? frame_class::code
                                    : frame_class::other;
}

int64_t floor_mod(int64_t value, int64_t modulus) {
    const int64_t r = value % modulus;
    return r < 0 ? r + modulus : r;
}

} // namespace

int64_t frame_lba(const uint8_t q[SUBCHANNEL_Q_SIZE], int64_t guess) {
    subq frame;
    const frame_class c = class_of(q, &frame);
    int64_t lba = guess;
    if (c == frame_class::position && frame.position.track != 0) {
        lba = analysis::lba_of(frame.position.abs);
    } else if (c == frame_class::code) {
        const int abs_f = subq_mode(&frame) == 2 ? frame.catalog.abs_f : frame.recording.abs_f;
        int64_t d = floor_mod(abs_f - (guess + 2 * MSF_FRAMES_PER_SECOND), MSF_FRAMES_PER_SECOND);
        lba = guess + (d > MSF_FRAMES_PER_SECOND / 2 ? d - MSF_FRAMES_PER_SECOND : d);
    }
    return std::abs(lba - guess) <= CONTINUATION_SLACK ? lba : guess;
}

sector_choice choose_frame(const uint8_t *const *frames, size_t count, int64_t lba,
                           uint32_t stand_ins) {
    sector_choice out;
    count = std::min(count, MAX_SCANS);
    // Most sectors: every scan that read one read the same bytes.
    size_t first = 0;
    while (first < count && frames[first] == nullptr) {
        ++first;
    }
    bool alike = true;
    for (size_t i = first + 1; i < count && alike; ++i) {
        alike =
            frames[i] == nullptr || std::memcmp(frames[i], frames[first], SUBCHANNEL_Q_SIZE) == 0;
    }
    if (alike) {
        out.chosen = first < count ? static_cast<int>(first) : -1;
        return out;
    }
    std::array<frame_class, MAX_SCANS> classes{};
    std::array<bool, MAX_SCANS> names_it{};
    bool code_read = false;
    for (size_t i = 0; i < count; ++i) {
        subq frame;
        if (frames[i] != nullptr) {
            classes[i] = class_of(frames[i], &frame);
            names_it[i] =
                classes[i] == frame_class::position && analysis::lba_of(frame.position.abs) == lba;
            code_read = code_read || classes[i] == frame_class::code;
            out.chosen = out.chosen < 0 ? static_cast<int>(i) : out.chosen;
        }
    }
    auto good = [&](size_t i) { return classes[i] != frame_class::damaged; };
    auto stand_in = [&](size_t i) {
        return classes[i] == frame_class::position && (stand_ins >> i & 1) != 0 && code_read;
    };
    auto rank = [&](size_t i) {
        size_t same = 0;
        for (size_t j = 0; j < count; ++j) {
            same += good(j) && std::memcmp(frames[i], frames[j], SUBCHANNEL_Q_SIZE) == 0;
        }
        return std::make_pair(same, names_it[i]);
    };
    std::optional<size_t> best;
    for (size_t i = 0; i < count; ++i) {
        if (!good(i) || stand_in(i)) {
            continue;
        }
        if (!best || rank(i) > rank(*best)) {
            best = i;
        }
        for (size_t j = 0; j < i; ++j) {
            if (good(j) && !stand_in(j) &&
                std::memcmp(frames[i], frames[j], SUBCHANNEL_Q_SIZE) != 0) {
                out.disagree.emplace_back(j, i);
            }
        }
    }
    out.chosen = best ? static_cast<int>(*best) : out.chosen;
    return out;
}

namespace {

// The window: each scan's frame for each held sector, if it has one.
class window {
  public:
    explicit window(size_t scans)
        : scans_(scans), q_(WINDOW * scans * SUBCHANNEL_Q_SIZE), has_(WINDOW * scans) {}

    void put(int64_t lba, size_t scan, const uint8_t *q) {
        const size_t at = slot(lba) * scans_ + scan;
        uint8_t *held = &q_[at * SUBCHANNEL_Q_SIZE];
        // Two frames of one scan at one sector: a good one stays.
        if (has_[at] && subchannel_check_crc(held) == 0) {
            return;
        }
        std::memcpy(held, q, SUBCHANNEL_Q_SIZE);
        has_[at] = 1;
    }

    void frames(int64_t lba, const uint8_t **out) const {
        for (size_t s = 0; s < scans_; ++s) {
            const size_t at = slot(lba) * scans_ + s;
            out[s] = has_[at] ? &q_[at * SUBCHANNEL_Q_SIZE] : nullptr;
        }
    }

    void clear(int64_t lba) {
        std::fill_n(has_.begin() + static_cast<long>(slot(lba) * scans_), scans_, 0);
    }

  private:
    static size_t slot(int64_t lba) { return static_cast<size_t>(floor_mod(lba, WINDOW)); }
    size_t scans_;
    std::vector<uint8_t> q_;
    std::vector<uint8_t> has_;
};

void count_disagreements(const sector_choice &choice, const uint8_t *const *frames, int64_t lba,
                         std::map<std::pair<size_t, size_t>, disagreement> &pairs) {
    for (const auto &pair : choice.disagree) {
        disagreement &d = pairs[pair];
        if (d.sectors++ == 0) {
            d.first_scan = pair.first;
            d.second_scan = pair.second;
            d.lba = lba;
            std::memcpy(d.first, frames[pair.first], SUBCHANNEL_Q_SIZE);
            std::memcpy(d.second, frames[pair.second], SUBCHANNEL_Q_SIZE);
        }
    }
}

} // namespace

merge_result
merge_scans(const std::vector<frame_source> &scans, int64_t end, uint32_t stand_ins,
            const std::function<void(int64_t lba, const uint8_t q[SUBCHANNEL_Q_SIZE])> &merged) {
    merge_result out;
    if (scans.size() > MAX_SCANS) {
        return out;
    }
    std::vector<std::optional<placed_frame>> next(scans.size());
    for (size_t s = 0; s < scans.size(); ++s) {
        placed_frame f;
        if (scans[s](&f)) {
            next[s] = f;
            out.first_lba = std::min(out.first_lba.value_or(f.lba), f.lba);
        }
    }
    if (!out.first_lba) {
        return out;
    }
    window held(scans.size());
    std::map<std::pair<size_t, size_t>, disagreement> pairs;
    const uint8_t none[SUBCHANNEL_Q_SIZE] = {};
    int64_t last = INT64_MIN; // the last sector a frame was held for
    for (int64_t lba = *out.first_lba; lba < end; ++lba) {
        bool more = false;
        for (size_t s = 0; s < scans.size(); ++s) {
            while (next[s] && next[s]->lba < lba + WINDOW) {
                if (next[s]->lba >= lba && next[s]->lba < end) {
                    held.put(next[s]->lba, s, next[s]->q);
                    last = std::max(last, next[s]->lba);
                } else {
                    ++out.unplaced;
                }
                placed_frame f;
                next[s] = scans[s](&f) ? std::optional<placed_frame>(f) : std::nullopt;
            }
            more = more || next[s].has_value();
        }
        if (!more && lba > last) {
            break;
        }
        const uint8_t *frames[MAX_SCANS] = {};
        held.frames(lba, frames);
        const sector_choice choice = choose_frame(frames, scans.size(), lba, stand_ins);
        count_disagreements(choice, frames, lba, pairs);
        merged(lba, choice.chosen >= 0 ? frames[static_cast<size_t>(choice.chosen)] : none);
        held.clear(lba);
        ++out.sectors;
    }
    for (const auto &[pair, d] : pairs) {
        out.disagreements.push_back(d);
    }
    return out;
}

} // namespace report
