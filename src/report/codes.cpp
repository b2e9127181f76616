#include "report/codes.h"

#include <algorithm>

namespace report {

namespace {

constexpr size_t HEAD = 2 * NEIGHBOUR_WINDOW_FRAMES, TAIL = NEIGHBOUR_WINDOW_FRAMES;

// The laid track an LBA lies in: the last to begin at or before it, or the
// first.
const laid_track *track_at(const std::vector<laid_track> &tracks, int64_t lba) {
    auto after = std::upper_bound(tracks.begin(), tracks.end(), lba,
                                  [](int64_t l, const laid_track &t) { return l < t.begin; });
    return tracks.empty() ? nullptr : after == tracks.begin() ? &tracks.front() : &*(after - 1);
}

// One frame's count: pause, or body near the start, near the end or clear.
void count(track_evidence &e, const laid_track &t, const std::string &code, int64_t lba) {
    if (lba < t.start) {
        e.pause[code].add(lba, &code_tally::clear);
    } else if (lba < t.start + NEIGHBOUR_WINDOW_FRAMES) {
        e.body[code].add(lba, &code_tally::near_start);
    } else if (lba >= t.end - NEIGHBOUR_WINDOW_FRAMES) {
        e.body[code].add(lba, &code_tally::near_end);
    } else {
        e.body[code].add(lba, &code_tally::clear);
    }
}

} // namespace

void code_collector::positions::add(int64_t lba) {
    ++frames;
    if (head.size() < HEAD) {
        head.push_back(lba);
    } else if (tail.size() < TAIL) {
        tail.push_back(lba);
    } else {
        tail[next] = lba;
        next = (next + 1) % TAIL;
    }
}

void code_collector::enter(int track, int index) {
    body_ = (track == track_ && body_) || index >= 1;
    track_ = track;
    index_ = index;
}

bool code_collector::add(const std::string &code, int64_t lba) {
    if (ids_.count(code) == 0) {
        if (ids_.size() >= MAX_DISTINCT_ISRCS) {
            return false;
        }
        ids_.insert(code);
    }
    const key k{track_, index_ == 0 && !body_, code};
    auto found = parts_.find(k);
    if (found == parts_.end()) {
        if (codes_per_track_[track_] >= MAX_CODES_PER_TRACK) {
            return false;
        }
        ++codes_per_track_[track_];
        found = parts_.emplace(k, positions{}).first;
    }
    found->second.add(lba);
    return true;
}

std::vector<track_evidence> code_collector::place(const std::vector<laid_track> &tracks) const {
    std::vector<track_evidence> out(tracks.size());
    auto index_of = [&](const laid_track *t) { return static_cast<size_t>(t - tracks.data()); };
    for (const auto &[k, p] : parts_) {
        const int number = std::get<0>(k); // captured below, so no structured binding
        const bool in_pause = std::get<1>(k);
        const std::string &code = std::get<2>(k);
        for (const auto *list : {&p.head, &p.tail}) {
            for (const int64_t lba : *list) {
                if (const laid_track *t = track_at(tracks, lba)) {
                    count(out[index_of(t)], *t, code, lba);
                }
            }
        }
        // Those between the first and last few lie inside the part read.
        const uint32_t between = p.frames - static_cast<uint32_t>(p.head.size() + p.tail.size());
        const auto inside = std::find_if(tracks.begin(), tracks.end(),
                                         [&](const laid_track &t) { return t.number == number; });
        if (between > 0 && inside != tracks.end()) {
            track_evidence &e = out[index_of(&*inside)];
            code_tally &c = (in_pause ? e.pause : e.body)[code];
            c.clear += between;
            c.first_lba = std::min(c.first_lba, p.head.back());
            c.last_lba = std::max(c.last_lba, p.tail.front());
        }
    }
    return out;
}

void catalog_counts::add(const std::string &code, int64_t lba) {
    if (frames.count(code) == 0 && frames.size() >= MAX_DISTINCT_MCNS) {
        return;
    }
    const bool first = frames[code]++ == 0;
    auto &s = span[code];
    s = {first ? lba : s.first, lba};
}

isrc_stretches::runs *isrc_stretches::enter(int track, int index) {
    if (track != track_) {
        track_ = track;
        run_ = 0;
        after_isrc_ = false;
    }
    // A pause says nothing of the track's code, and breaks no run of it.
    return index >= 1 && track >= 1 && track <= 99 ? &tracks_[track] : nullptr;
}

void isrc_stretches::good(int track, int index) {
    if (runs *t = enter(track, index)) {
        ++t->good;
        ++since_isrc_;
        t->longest = std::max(t->longest, ++run_);
    }
}

void isrc_stretches::isrc(int track, int index) {
    if (runs *t = enter(track, index)) {
        ++t->good;
        if (after_isrc_) {
            t->widest_gap = std::max(t->widest_gap, since_isrc_);
        }
        run_ = since_isrc_ = 0;
        after_isrc_ = true;
    }
}

void isrc_stretches::fill(int track, track_evidence &e) const {
    const auto found = tracks_.find(track);
    if (found != tracks_.end()) {
        e.good = found->second.good;
        e.clean_run = found->second.longest;
        e.widest_gap = found->second.widest_gap;
    }
}

} // namespace report
