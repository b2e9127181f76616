#include "report/assemble.h"

#include <algorithm>

namespace report {

namespace {

code_seen seen(const std::string &code, uint32_t frames, int64_t first, int64_t last,
               code_kind kind, code_validity validity) {
    code_seen out;
    out.code = code;
    out.frames = frames;
    out.first_lba = first;
    out.last_lba = last;
    out.kind = kind;
    out.validity = validity;
    return out;
}

code_seen seen(const std::string &code, const code_tally &t, code_kind kind) {
    return seen(code, t.frames(), t.first_lba, t.last_lba, kind, isrc_validity(code));
}

bool by_position(const code_seen &a, const code_seen &b) {
    return a.first_lba < b.first_lba;
}

std::vector<code_seen> listed(const code_tallies &tallies,
                              const std::map<std::string, code_kind> &kinds) {
    std::vector<code_seen> out;
    for (const auto &[code, kind] : kinds) {
        out.push_back(seen(code, tallies.at(code), kind));
    }
    std::sort(out.begin(), out.end(), by_position);
    return out;
}

} // namespace

std::vector<track_report> report_tracks(const std::vector<laid_track> &tracks,
                                        const std::vector<track_evidence> &evidence,
                                        const std::vector<track_verdict> &verdicts,
                                        const frame_tally *damage) {
    std::vector<track_report> out;
    for (size_t i = 0; i < tracks.size(); ++i) {
        const laid_track &t = tracks[i];
        const track_verdict &v = verdicts[i];
        track_report r;
        r.number = t.number;
        r.readable = t.readable;
        r.control = t.control;
        r.scms = t.scms;
        r.indexes = t.indexes;
        for (const index_mark &m : t.indexes) {
            if (m.number == 0) {
                r.index00_lba = m.lba;
            } else if (m.number == 1) {
                r.index01_lba = m.lba;
            }
        }
        r.status = v.status;
        r.tied = v.tied;
        if (v.own) {
            const code_tallies &where = v.in_pause ? evidence[i].pause : evidence[i].body;
            r.isrc = seen(*v.own, where.at(*v.own), code_kind::own);
            r.isrc_in_pause = v.in_pause;
        }
        r.good_frames = evidence[i].good;
        r.expected_isrc_frames = v.expected;
        r.other_isrcs = listed(evidence[i].body, v.body_kinds);
        r.pause_isrcs = listed(evidence[i].pause, v.pause_kinds);
        if (damage != nullptr) {
            r.damaged = damage->damaged_in(t.begin, t.end - 1);
        }
        out.push_back(std::move(r));
    }
    return out;
}

std::optional<std::string> hidden_code(const track_evidence &first, const track_verdict &vote) {
    // Track 1's pause is the hidden track: a code read only there is its.
    const std::optional<std::string> leading = most_frames(first.pause);
    return leading != vote.own || vote.in_pause ? leading : std::nullopt;
}

hidden_track take_hidden(const laid_track &first, const std::optional<std::string> &code,
                         std::vector<track_evidence> &evidence,
                         std::vector<track_verdict> &verdicts) {
    hidden_track out;
    out.sectors = static_cast<uint64_t>(first.start);
    if (code) {
        out.isrc = seen(*code, evidence.front().pause.at(*code), code_kind::own);
        evidence.front().pause.erase(*code);
        verdicts.front().pause_kinds.erase(*code);
    }
    return out;
}

std::optional<mcn_report> report_mcn(const catalog_counts &catalogs) {
    if (catalogs.frames.empty()) {
        return std::nullopt;
    }
    const catalog_verdict vote = catalog_vote(catalogs.frames);
    mcn_report out;
    out.rival = vote.rival.has_value();
    for (const auto &[code, frames] : catalogs.frames) {
        const auto &[first, last] = catalogs.span.at(code);
        const bool value = code == vote.value;
        code_seen c = seen(code, frames, first, last,
                           value ? code_kind::own : code_kind::conflicting, mcn_validity(code));
        if (value) {
            out.value = c;
            out.check_digit_valid = mcn_check_digit_holds(code);
        } else {
            out.others.push_back(c);
        }
    }
    std::sort(out.others.begin(), out.others.end(), by_position);
    return out;
}

} // namespace report
