#include "report/lines.h"

#include "report/vote.h"

#include <algorithm>

namespace report {

namespace {

constexpr size_t MAX_DISTINCT_STARTS = 32;
constexpr int64_t USUAL_PAUSE_FRAMES = 2 * MSF_FRAMES_PER_SECOND;

int64_t frames_of(const msf &time) {
    return (static_cast<int64_t>(time.m) * MSF_SECONDS_PER_MINUTE + time.s) *
               MSF_FRAMES_PER_SECOND +
           time.f;
}

} // namespace

void line_evidence::add(bool catalog, const timing &position, const std::string &code) {
    const int64_t lba = frames_of(position.abs) - 2 * MSF_FRAMES_PER_SECOND;
    if (position.track < 1 || position.track > 99) {
        return;
    }
    track_lines &t = tracks_[position.track];
    // The running relative time counts from the last position frame: from
    // index 01 on, from where the track began.
    if (position.index >= 1) {
        const int64_t start = lba - frames_of(position.rel);
        if (t.starts.count(start) != 0 || t.starts.size() < MAX_DISTINCT_STARTS) {
            ++t.starts[start];
        }
    } else if (!t.pause || lba < *t.pause) {
        t.pause = lba;
    }
    // Lines close together show the frames between them were read; a wider
    // gap may be damage, which lines do not tell.
    const int64_t step = t.last_line ? lba - *t.last_line : 0;
    if (step > 0 && step <= static_cast<int64_t>(ISRC_STRETCH_FRAMES)) {
        t.covered += static_cast<uint64_t>(step);
        t.run += step;
    } else if (step != 0) {
        t.run = 0;
    }
    t.longest_run = std::max(t.longest_run, t.run);
    t.last_line = std::max(t.last_line.value_or(lba), lba);
    if (catalog) {
        catalogs.add(code, lba);
        return;
    }
    isrcs.enter(position.track, position.index);
    isrcs.add(code, lba);
    t.run = 0;
    if (t.last) {
        t.widest = std::max(t.widest, lba - *t.last - 1);
    }
    t.first = t.first.value_or(lba);
    t.last = lba;
}

std::vector<laid_track> line_evidence::layout() const {
    std::vector<laid_track> out;
    for (const auto &[number, lines] : tracks_) {
        laid_track t;
        t.number = number;
        const auto start = majority(lines.starts);
        t.start = start.value_or(lines.pause.value_or(lines.first.value_or(0)));
        t.begin = lines.pause ? std::min(*lines.pause, t.start) : t.start;
        out.push_back(t);
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const laid_track &a, const laid_track &b) { return a.begin < b.begin; });
    // A number between two that have lines was read without a line: it lies
    // after the last ISRC line of the track before and what may follow it.
    std::vector<laid_track> all;
    for (const laid_track &t : out) {
        if (!all.empty()) {
            // Of two or more in one gap, none can be told apart: no span.
            const track_lines &before = tracks_.at(all.back().number);
            const bool alone = t.number - all.back().number == 2;
            for (int n = all.back().number + 1; n < t.number; ++n) {
                laid_track missing;
                missing.number = n;
                missing.begin = missing.start =
                    before.last && alone ? std::min(*before.last + ISRC_STRETCH_FRAMES, t.begin)
                                         : t.begin;
                all.push_back(missing);
            }
        }
        all.push_back(t);
    }
    // Lines tell no pause that carries no code: a track ends where the next
    // one's usual pause would begin, so that codes sent early are near its end.
    for (size_t i = 0; i + 1 < all.size(); ++i) {
        all[i].end = std::max(all[i].begin,
                              std::min(all[i + 1].begin, all[i + 1].start - USUAL_PAUSE_FRAMES));
    }
    if (!all.empty()) {
        const auto found = tracks_.find(all.back().number);
        all.back().end = std::max(found->second.last_line.value_or(0), all.back().begin) + 1;
    }
    return all;
}

void line_evidence::fill(const laid_track &t, track_evidence &e) const {
    // Catalog lines alone may come from a scan that never looked for ISRCs
    // (qscan -c): their absence tells nothing.
    const auto found = tracks_.find(t.number);
    if (isrcs.distinct() == 0 || found == tracks_.end()) {
        return;
    }
    const track_lines &lines = found->second;
    e.good = lines.covered;
    e.clean_run = static_cast<uint32_t>(lines.longest_run);
    e.widest_gap = static_cast<uint32_t>(lines.widest);
}

} // namespace report
