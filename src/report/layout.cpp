#include "report/layout.h"

#include "report/vote.h"

#include <algorithm>

namespace report {

namespace {

constexpr size_t MAX_DISTINCT_STARTS = 32;

int64_t last_read(const std::map<int, int64_t> &last, int number) {
    const auto found = last.find(number);
    return found == last.end() ? INT64_MIN : found->second;
}

} // namespace

void layout_builder::trust(int track, int index, int control, int64_t lba, int64_t rel) {
    track_parts &t = tracks_[track];
    part &p = t.parts[index];
    p.min_lba = std::min(p.min_lba, lba);
    p.max_lba = std::max(p.max_lba, lba);
    ++t.controls[static_cast<size_t>(control & 15)];
    // From index 01 on, the relative time counts up from the start of index
    // 01; in the pause it counts down and says nothing of where it began.
    if (index >= 1) {
        const auto found = p.starts.find(lba - rel);
        if (found != p.starts.end()) {
            ++found->second;
        } else if (p.starts.size() < MAX_DISTINCT_STARTS) {
            p.starts.emplace(lba - rel, 1);
        }
    }
}

std::map<int64_t, uint32_t> layout_builder::starts_of(const track_parts &t) {
    std::map<int64_t, uint32_t> starts;
    for (const auto &[index, p] : t.parts) {
        for (const auto &[start, n] : p.starts) {
            starts[start] += n;
        }
    }
    return starts;
}

std::optional<laid_track> layout_builder::lay(int number, const track_parts &t) const {
    laid_track out;
    out.number = number;
    const std::map<int64_t, uint32_t> starts = starts_of(t);
    std::map<int, uint32_t> controls;
    for (size_t c = 0; c < t.controls.size(); ++c) {
        controls[static_cast<int>(c)] = t.controls[c];
    }
    out.control = majority(controls);
    const auto index01 = majority(starts);
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
        } else if (index >= 2) {
            out.indexes.push_back({index, p.min_lba});
        }
    }
    return out;
}

// An index read first later than it may begin, damage hiding the frames
// before: where it begins is a range. Index 01's start its frames' own
// times tell.
void layout_builder::uncertain_starts(const laid_track &t, int64_t previous,
                                      const frame_tally &damage,
                                      std::vector<hidden_stretch> &into) const {
    const auto &parts = tracks_.at(t.number).parts;
    for (const index_mark &m : t.indexes) {
        if (m.number != 1 && m.lba - previous > BOUNDARY_SLACK_FRAMES &&
            damage.damaged_in(previous + 1, m.lba - 1) > 0) {
            into.push_back({t.number, m.number, previous + 1, m.lba});
        }
        const auto p = parts.find(m.number);
        previous = p != parts.end() ? p->second.max_lba : m.lba;
    }
}

// Tracks in disc order with what damage hid between them: numbers no frame
// was read of, pauses no frame of which was read, starts read late.
std::vector<laid_track> layout_builder::with_gaps(const std::vector<laid_track> &tracks,
                                                  const std::map<int, int64_t> &last,
                                                  const frame_tally &damage,
                                                  disc_layout &out) const {
    std::vector<laid_track> laid;
    for (laid_track t : tracks) {
        const laid_track *before = laid.empty() ? nullptr : &laid.back();
        const int64_t after = before ? last_read(last, before->number) + 1 : 0;
        for (int n = before ? before->number + 1 : 1; n < t.number; ++n) {
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
        uncertain_starts(t, after - 1, damage, out.uncertain_boundaries);
        laid.push_back(t);
    }
    return laid;
}

disc_layout layout_builder::build(const frame_tally &damage, int64_t end) const {
    disc_layout out;
    std::vector<laid_track> tracks;
    std::map<int, int64_t> last; // the last LBA read of each track
    for (const auto &[number, t] : tracks_) {
        if (number < 1 || number > 99) {
            continue;
        }
        if (auto laid = lay(number, t)) {
            tracks.push_back(*laid);
            for (const auto &[index, p] : t.parts) {
                last[number] = std::max(last_read(last, number), p.max_lba);
            }
        }
    }
    if (const auto leadout = tracks_.find(TIMING_LEAD_OUT_TRACK); leadout != tracks_.end()) {
        out.leadout = majority(starts_of(leadout->second));
    }
    // In disc order, which is the order of the numbers on any disc that is
    // not garbage.
    std::stable_sort(tracks.begin(), tracks.end(),
                     [](const laid_track &a, const laid_track &b) { return a.begin < b.begin; });
    out.tracks = with_gaps(tracks, last, damage, out);
    std::vector<laid_track> &laid = out.tracks;
    for (size_t i = 0; i + 1 < laid.size(); ++i) {
        laid[i].end = laid[i + 1].begin;
    }
    if (!laid.empty()) {
        laid.back().end = std::max(laid.back().begin, out.leadout.value_or(end));
        // Index 00 of track 1 is read before LBA 0 on any disc; read after
        // it, it holds a track of its own, from LBA 0.
        laid_track &first = laid.front();
        out.hidden_track = first.number == 1 && first.pause && first.start > 0;
        if (out.hidden_track) {
            first.begin = *first.pause = first.indexes.front().lba = 0;
        }
    }
    return out;
}

} // namespace report
