// The votes: pure decisions from counts. One majority rule serves them all,
// and a tie is a tie.
#pragma once

#include "report/report.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace report {

// The key on the most frames; none when two or more share the most, or
// nothing was counted. tied, when given, gets the keys that share it.
template <typename Key, typename Count>
std::optional<Key> majority(const std::map<Key, Count> &counts, std::vector<Key> *tied = nullptr) {
    std::vector<Key> best;
    Count most = 0;
    for (const auto &[key, count] : counts) {
        if (count > most) {
            best = {key};
            most = count;
        } else if (count == most && count > 0) {
            best.push_back(key);
        }
    }
    if (best.size() == 1) {
        return best.front();
    }
    if (tied != nullptr) {
        *tied = best;
    }
    return std::nullopt;
}

// One code's frames in one part of a track, by where they lie: within
// NEIGHBOUR_WINDOW_FRAMES of the start, of the end, or clear of both.
struct code_tally {
    uint32_t near_start = 0, clear = 0, near_end = 0;
    int64_t first_lba = INT64_MAX, last_lba = INT64_MIN;

    uint32_t frames() const { return near_start + clear + near_end; }
    void add(int64_t lba, uint32_t code_tally::*where);
};

using code_tallies = std::map<std::string, code_tally>;

// What a track's frames say about its codes, in disc order.
struct track_evidence {
    code_tallies body;       // index 01 on
    code_tallies pause;      // index 00
    uint64_t good = 0;       // good frames read from index 01 on, its ISRC frames among them
    uint32_t clean_run = 0;  // the most good frames in a row there, none an ISRC frame
    uint32_t widest_gap = 0; // the most good frames in a row between two ISRC frames there
};

struct track_verdict {
    isrc_status status = isrc_status::unknown;
    std::optional<std::string> own;
    bool in_pause = false; // its own code was read only in its pause
    std::vector<std::string> tied;
    std::map<std::string, code_kind> body_kinds, pause_kinds; // every code not its own
    std::optional<double> expected; // none or unknown: the ISRC frames a code would show
};

// Each track's own code from the frames where no neighbour's code can bleed
// in; a track with none there counts its boundary frames too, less the
// neighbours' own codes decided from their clear frames; a track with none
// in its body takes the code of its pause that is not the previous track's.
// before: the own code of what lies before the first track (a hidden track).
// A track without a code has none when the disc's density says so.
std::vector<track_verdict> isrc_vote(const std::vector<track_evidence> &tracks,
                                     const std::optional<std::string> &before = std::nullopt);

struct catalog_verdict {
    std::optional<std::string> value;
    std::vector<std::string> tied;
    std::optional<std::string> rival; // a second valid number on more than a few frames
};

// The code on the most frames of tallies, all counted; none on a tie.
std::optional<std::string> most_frames(const code_tallies &tallies);

// The catalog number: the majority among valid GTIN-13s, or among all codes
// when none is valid.
catalog_verdict catalog_vote(const std::map<std::string, uint32_t> &frames);

} // namespace report
