#include "report/layout.h"

#include "report/vote.h"

#include <algorithm>

namespace report {

namespace {

constexpr size_t MAX_DISTINCT_STARTS = 32;
constexpr size_t MAX_ELSEWHERE_RUNS = 64;
// Positions of the CONTROL bits that the layout reads.
constexpr size_t COPY_BIT = 1, DATA_BIT = 2;

void count_start(std::map<int64_t, uint32_t> &starts, int64_t start) {
    const auto found = starts.find(start);
    if (found != starts.end()) {
        ++found->second;
    } else if (starts.size() < MAX_DISTINCT_STARTS) {
        starts.emplace(start, 1);
    }
}

} // namespace

control_bits control_of(const std::array<uint32_t, 16> &counts) {
    control_bits out;
    uint32_t total = 0;
    std::array<uint32_t, 4> set{};
    for (size_t c = 0; c < counts.size(); ++c) {
        total += counts[c];
        for (size_t bit = 0; bit < set.size(); ++bit) {
            set[bit] += (c >> bit & 1) != 0 ? counts[c] : 0;
        }
    }
    const uint32_t copy_set = set[COPY_BIT], copy_clear = total - copy_set;
    // SCMS flips the bit every few frames: both values on a good share.
    out.scms = total >= 8 && std::min(copy_set, copy_clear) * 4 >= total;
    if (total == 0 || set[DATA_BIT] * 2 == total) {
        return out;
    }
    int control = 0;
    for (size_t bit = 0; bit < set.size(); ++bit) {
        if (set[bit] * 2 > total) {
            control |= 1 << bit;
        }
    }
    out.control = out.scms ? control & ~(1 << COPY_BIT) : control;
    return out;
}

void layout_builder::trust(int track, int index, int control, int64_t lba, int64_t rel) {
    if (track == TIMING_LEAD_OUT_TRACK) {
        count_start(leadout_starts_, lba - rel);
        read_elsewhere(lba, lba);
        return;
    }
    track_parts &t = tracks_[track];
    ++t.controls[static_cast<size_t>(control & 15)];
    const auto body = t.parts.upper_bound(0);
    if (index == 0 && body != t.parts.end() && body->first < TRAILING_PART &&
        body->second.min_lba < lba) {
        index = TRAILING_PART;
    }
    part &p = t.parts[index];
    p.min_lba = std::min(p.min_lba, lba);
    p.max_lba = std::max(p.max_lba, lba);
    // From index 01 on, the relative time counts up from the start of index
    // 01; in the pause it counts down to zero on its last sector.
    if (index >= 1 && index < TRAILING_PART) {
        count_start(t.starts, lba - rel);
    } else if (index == 0) {
        count_start(t.starts, lba + rel + 1);
    }
}

void layout_builder::read_elsewhere(int64_t first, int64_t last) {
    if (!elsewhere_.empty() && first >= elsewhere_.back().first &&
        first <= elsewhere_.back().last + UNREADABLE_STRETCH_FRAMES) {
        elsewhere_.back().last = std::max(elsewhere_.back().last, last);
    } else if (elsewhere_.size() < MAX_ELSEWHERE_RUNS) {
        elsewhere_.push_back({first, last});
    }
}

// The last LBA before lba read outside every track.
int64_t layout_builder::read_before(int64_t lba) const {
    int64_t out = INT64_MIN;
    for (const run &r : elsewhere_) {
        if (r.first < lba) {
            out = std::max(out, std::min(r.last, lba - 1));
        }
    }
    return out;
}

std::optional<laid_track> layout_builder::lay(int number, const track_parts &t) const {
    laid_track out;
    out.number = number;
    const control_bits bits = control_of(t.controls);
    out.control = bits.control;
    out.scms = bits.scms;
    const auto index01 = majority(t.starts);
    const auto pause = t.parts.find(0);
    if (pause != t.parts.end() && (!index01 || pause->second.min_lba < *index01)) {
        out.pause = pause->second.min_lba;
        out.indexes.push_back({0, *out.pause});
    }
    if (!index01 && !out.pause) {
        return std::nullopt;
    }
    out.start = index01.value_or(*out.pause);
    out.begin = out.pause.value_or(out.start);
    for (const auto &[index, p] : t.parts) {
        if (index == 1 && index01) {
            out.indexes.push_back({1, *index01});
        } else if (index >= 2 && index < TRAILING_PART) {
            out.indexes.push_back({index, p.min_lba});
        }
    }
    if (index01 && t.parts.count(1) == 0) {
        // Pinned by the pause's times though no frame of it was read.
        const auto at = std::find_if(out.indexes.begin(), out.indexes.end(),
                                     [](const index_mark &m) { return m.number >= 2; });
        out.indexes.insert(at, {1, *index01});
    }
    return out;
}

int64_t layout_builder::last_read(int number) const {
    const auto found = tracks_.find(number);
    int64_t last = INT64_MIN;
    if (found != tracks_.end()) {
        for (const auto &[index, p] : found->second.parts) {
            last = std::max(last, p.max_lba);
        }
    }
    return last;
}

// An index other than a pinned index 01 begins somewhere after the last
// position frame read before it and at the first read of it: exact only
// where the two are neighbours.
void layout_builder::ranges(std::vector<laid_track> &tracks, int64_t first,
                            disc_layout &out) const {
    int64_t previous = first - 1;
    bool after_unreadable = false;
    for (laid_track &t : tracks) {
        if (!t.readable) {
            after_unreadable = true;
            continue;
        }
        const auto &parts = tracks_.at(t.number).parts;
        for (index_mark &m : t.indexes) {
            const auto p = parts.find(m.number);
            const bool pinned = m.number == 1;
            previous = std::max(previous, read_before(m.lba));
            if (!pinned && m.lba > previous + 1) {
                m.latest = m.lba;
                m.lba = previous + 1;
                out.uncertain_boundaries.push_back({t.number, m.number, m.lba, *m.latest});
            }
            previous = std::max(m.lba, p != parts.end() ? p->second.max_lba : m.lba);
        }
        previous = std::max(previous, last_read(t.number));
        // Codes read in a stretch that may hold a track not read are not
        // this track's pause.
        if (t.pause) {
            *t.pause = t.indexes.front().lba;
            t.begin = after_unreadable ? t.begin : *t.pause;
        }
        after_unreadable = false;
    }
}

// Tracks in disc order with what damage hid between them: numbers that a
// damaged stretch could hold, and pauses no frame of which was read. A
// number missing with no such stretch is one the disc does not use.
std::vector<laid_track> layout_builder::with_gaps(const std::vector<laid_track> &tracks,
                                                  int64_t first, const frame_tally &damage,
                                                  disc_layout &out) const {
    std::vector<laid_track> laid;
    for (laid_track t : tracks) {
        const laid_track *before = laid.empty() ? nullptr : &laid.back();
        const int64_t after = before ? last_read(before->number) + 1 : first;
        const bool hidden = damage.damaged_in(after, t.begin - 1) >=
                            static_cast<uint64_t>(UNREADABLE_STRETCH_FRAMES);
        // The numbers next to the track before, or before this one at the
        // disc's start, whose first number is not known.
        const int fit = hidden ? static_cast<int>((t.begin - after) / MIN_TRACK_FRAMES) : 0;
        const int from = before ? before->number + 1 : std::max(1, t.number - fit);
        for (int n = from; n < t.number && n < from + fit; ++n) {
            laid_track missing;
            missing.number = n;
            missing.readable = false;
            missing.begin = missing.start = after;
            laid.push_back(missing);
            out.unreadable_tracks.push_back({n, 0, after, t.begin - 1});
        }
        const bool after_readable = laid.empty() || laid.back().readable;
        if (!t.pause && after_readable && t.start - after >= UNREADABLE_STRETCH_FRAMES &&
            damage.damaged_in(after, t.start - 1) >=
                static_cast<uint64_t>(UNREADABLE_STRETCH_FRAMES)) {
            out.unreadable_pauses.push_back({t.number, 0, after, t.start - 1});
            t.begin = after;
        }
        laid.push_back(t);
    }
    return laid;
}

// The lead-out after the last track: a dump of both sessions of an
// Enhanced CD reads the first session's too, which is not the disc's.
std::optional<int64_t> layout_builder::leadout(const std::vector<laid_track> &tracks) const {
    std::map<int64_t, uint32_t> after;
    for (const auto &[start, n] : leadout_starts_) {
        if (tracks.empty() || start > tracks.back().start) {
            after.emplace(start, n);
        }
    }
    return majority(after);
}

disc_layout layout_builder::build(const frame_tally &damage, int64_t first, int64_t end) const {
    disc_layout out;
    std::vector<laid_track> tracks;
    for (const auto &[number, t] : tracks_) {
        if (number < 1 || number > 99) {
            continue;
        }
        if (auto laid = lay(number, t)) {
            tracks.push_back(*laid);
        }
    }
    // In disc order, which is the order of the numbers on any disc that is
    // not garbage.
    std::stable_sort(tracks.begin(), tracks.end(),
                     [](const laid_track &a, const laid_track &b) { return a.begin < b.begin; });
    out.leadout = leadout(tracks);
    out.tracks = with_gaps(tracks, first, damage, out);
    ranges(out.tracks, first, out);
    std::vector<laid_track> &laid = out.tracks;
    for (size_t i = 0; i + 1 < laid.size(); ++i) {
        laid[i].end = laid[i + 1].begin;
    }
    if (!laid.empty()) {
        laid.back().end = std::max(laid.back().begin, out.leadout.value_or(end));
        // The first track's index 00 is read before LBA 0 on any disc; read
        // after it, it holds a track of its own, from LBA 0.
        laid_track &front = laid.front();
        out.hidden_track = front.readable && front.pause && *front.pause <= 0 && front.start > 0;
        if (out.hidden_track) {
            front.begin = *front.pause = front.indexes.front().lba = 0;
            front.indexes.front().latest.reset();
            std::erase_if(out.uncertain_boundaries, [&](const hidden_stretch &s) {
                return s.track == front.number && s.index == 0;
            });
        }
    }
    return out;
}

} // namespace report
