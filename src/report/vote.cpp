#include "report/vote.h"

#include "report/density.h"

#include <algorithm>

namespace report {

void code_tally::add(int64_t lba, uint32_t code_tally::*where) {
    ++(this->*where);
    first_lba = std::min(first_lba, lba);
    last_lba = std::max(last_lba, lba);
}

namespace {

// The code on the most frames, each code's frames counted by count.
template <typename Count>
std::optional<std::string> vote(const code_tallies &tallies, Count count,
                                std::vector<std::string> *tied) {
    std::map<std::string, uint32_t> counts;
    for (const auto &[code, t] : tallies) {
        counts[code] = count(code, t);
    }
    return majority(counts, tied);
}

// Frames clear of both ends, where no neighbour's code bleeds in.
std::optional<std::string> clear_vote(const code_tallies &body, std::vector<std::string> *tied) {
    return vote(
        body, [](const std::string &, const code_tally &t) { return t.clear; }, tied);
}

// A track short of clear frames: its boundary frames count, but for a
// neighbour's own code near that neighbour.
std::optional<std::string> boundary_vote(const code_tallies &body,
                                         const std::optional<std::string> &previous,
                                         const std::optional<std::string> &next,
                                         std::vector<std::string> *tied) {
    return vote(
        body,
        [&](const std::string &code, const code_tally &t) {
            return t.clear + (code == previous ? 0 : t.near_start) +
                   (code == next ? 0 : t.near_end);
        },
        tied);
}

code_kind body_kind(const std::string &code, const code_tally &t,
                    const std::optional<std::string> &previous,
                    const std::optional<std::string> &next) {
    if (code == previous && t.frames() == t.near_start) {
        return code_kind::carried_over;
    }
    if (code == next && t.frames() == t.near_end) {
        return code_kind::early;
    }
    return code_kind::conflicting;
}

// A track with no code in its body: the code of its pause, but for the
// neighbours' own, carried over or sent early.
std::optional<std::string> pause_vote(const code_tallies &pause,
                                      const std::optional<std::string> &previous,
                                      const std::optional<std::string> &next,
                                      std::vector<std::string> *tied) {
    return vote(
        pause,
        [&](const std::string &code, const code_tally &t) {
            return code != previous && code != next ? t.frames() : 0;
        },
        tied);
}

// Each track's own code, or its tie, with the status these give.
std::vector<track_verdict> own_codes(const std::vector<track_evidence> &tracks,
                                     const std::optional<std::string> &before) {
    const size_t count = tracks.size();
    std::vector<track_verdict> out(count);
    std::vector<std::optional<std::string>> clear(count);
    for (size_t i = 0; i < count; ++i) {
        clear[i] = clear_vote(tracks[i].body, &out[i].tied);
    }
    auto at = [&](const std::vector<std::optional<std::string>> &codes, size_t i, int step) {
        const size_t j = i + static_cast<size_t>(step);
        return j < count ? codes[j] : step < 0 ? before : std::nullopt; // wraps past 0
    };
    // A first guess at each track's code, its neighbours known only where
    // they have clear frames, stands in for the next track's own code.
    std::vector<std::optional<std::string>> guess(count);
    for (size_t i = 0; i < count; ++i) {
        std::vector<std::string> tied;
        guess[i] = clear[i] ? clear[i]
                   : out[i].tied.empty()
                       ? boundary_vote(tracks[i].body, at(clear, i, -1), at(clear, i, 1), &tied)
                       : std::nullopt;
    }
    // In disc order, so a short track's previous code is that track's own as
    // decided, even when it too had no clear frame.
    for (size_t i = 0; i < count; ++i) {
        track_verdict &v = out[i];
        const std::optional<std::string> previous = i > 0 ? out[i - 1].own : before;
        v.own = clear[i];
        if (!v.own && v.tied.empty()) {
            v.own = boundary_vote(tracks[i].body, previous, at(guess, i, 1), &v.tied);
        }
        if (!v.own && v.tied.empty()) {
            v.own = pause_vote(tracks[i].pause, previous, at(guess, i, 1), &v.tied);
            v.in_pause = v.own.has_value();
        }
        v.status = v.own            ? isrc_status::own
                   : v.tied.empty() ? isrc_status::unknown
                                    : isrc_status::ambiguous;
    }
    return out;
}

// Every code of a track that is not its own, by where it lies.
void label_codes(track_verdict &v, const track_evidence &track,
                 const std::optional<std::string> &previous,
                 const std::optional<std::string> &next) {
    for (const auto &[code, t] : track.body) {
        if (code != v.own) {
            v.body_kinds[code] = body_kind(code, t, previous, next);
        }
    }
    for (const auto &[code, t] : track.pause) {
        if (code == v.own && v.in_pause) {
            continue;
        }
        v.pause_kinds[code] = code == v.own || code == next ? code_kind::early
                              : code == previous            ? code_kind::carried_over
                                                            : code_kind::conflicting;
    }
}

} // namespace

std::vector<track_verdict> isrc_vote(const std::vector<track_evidence> &tracks,
                                     const std::optional<std::string> &before) {
    std::vector<track_verdict> out = own_codes(tracks, before);
    const isrc_density density = density_of(tracks, out);
    for (size_t i = 0; i < tracks.size(); ++i) {
        track_verdict &v = out[i];
        if (!v.own && v.tied.empty()) {
            v.status = surely_none(density, tracks[i]) ? isrc_status::none : isrc_status::unknown;
            if (density.per_frame() > 0) {
                v.expected = density.expected(tracks[i].good);
            }
        }
        label_codes(v, tracks[i], i > 0 ? out[i - 1].own : before,
                    i + 1 < tracks.size() ? out[i + 1].own : std::nullopt);
    }
    return out;
}

std::optional<std::string> most_frames(const code_tallies &tallies) {
    return vote(
        tallies, [](const std::string &, const code_tally &t) { return t.frames(); }, nullptr);
}

catalog_verdict catalog_vote(const std::map<std::string, uint32_t> &frames) {
    std::map<std::string, uint32_t> valid;
    for (const auto &[code, n] : frames) {
        if (mcn_usable(code)) {
            valid[code] = n;
        }
    }
    catalog_verdict out;
    out.value = majority(valid.empty() ? frames : valid, &out.tied);
    for (const auto &[code, n] : valid) {
        if (code != out.value && n > MCN_RIVAL_FRAMES && !out.rival) {
            out.rival = code;
        }
    }
    return out;
}

} // namespace report
