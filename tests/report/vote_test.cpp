// The votes on their own: which code is each track's own from where its
// frames lie, and which catalog number is the disc's.
#include "report/vote.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using report::code_tally;
using report::track_evidence;

// "A 0 3 0" per code: frames near the start, clear of both ends, near the
// end; "pause A 2" for codes in its pause; "clean": a long stretch without;
// "good N", "run N", "gap N": its good frames, longest run without a code
// and widest run between two.
track_evidence track(const std::string &described) {
    track_evidence t;
    std::istringstream words(described);
    for (std::string code; words >> code;) {
        if (code == "clean") {
            t.clean_run = report::ISRC_STRETCH_FRAMES;
        } else if (code == "good") {
            words >> t.good;
        } else if (code == "run") {
            words >> t.clean_run;
        } else if (code == "gap") {
            words >> t.widest_gap;
        } else if (code == "pause") {
            words >> code;
            words >> t.pause[code].clear;
        } else {
            code_tally &c = t.body[code];
            words >> c.near_start >> c.clear >> c.near_end;
        }
    }
    return t;
}

// "own A; B carried_over", "ambiguous A B", "none", "unknown".
std::string verdict(const report::track_verdict &v) {
    std::string out = report::status_name(v.status);
    out += v.own ? " " + *v.own : "";
    for (const std::string &code : v.tied) {
        out += " " + code;
    }
    for (const auto *kinds : {&v.body_kinds, &v.pause_kinds}) {
        for (const auto &[code, kind] : *kinds) {
            out += std::string("; ") + (kinds == &v.pause_kinds ? "pause " : "") + code + " " +
                   report::kind_name(kind);
        }
    }
    return out;
}

TEST(Vote, EachTracksOwnCode) {
    const struct {
        const char *name;
        std::vector<std::string> tracks, verdicts;
    } rows[] = {
        {"carry-over longer than the track's own frames",
         {"A 0 10 0", "A 5 0 0 B 0 1 0", "B 5 0 0 C 0 1 0"},
         {"own A", "own B; A carried_over", "own C; B carried_over"}},
        {"short tracks: no clear frame, the previous code carried over",
         {"A 0 5 0", "A 3 0 0 B 1 0 0", "C 0 5 0"},
         {"own A", "own B; A carried_over", "own C"}},
        {"short tracks: the code carried over from a short track with a single code",
         {"A 2 0 2", "A 3 0 0 B 1 0 0", "C 0 5 0"},
         {"own A", "own B; A carried_over", "own C"}},
        {"short tracks: the next code sent early",
         {"A 0 4 0", "B 1 0 0 C 0 0 3", "C 0 4 0"},
         {"own A", "own B; C early", "own C"}},
        {"a tie", {"A 0 2 0 B 0 2 0"}, {"ambiguous A B; A conflicting; B conflicting"}},
        {"a tie at the ends of a short track",
         {"A 0 3 0", "B 1 0 0 C 0 0 1", "D 0 3 0"},
         {"own A", "ambiguous B C; B conflicting; C conflicting", "own D"}},
        {"sparse: a single frame", {"A 0 1 0", "B 0 0 1"}, {"own A", "own B"}},
        {"none and unknown",
         {"A 0 3 0", "A 2 0 0 clean", "", "C 0 3 0"},
         {"own A", "none; A carried_over", "unknown", "own C"}},
        {"a neighbour's code clear of the boundary conflicts",
         {"A 0 5 0", "A 0 1 0 B 0 4 0"},
         {"own A", "own B; A conflicting"}},
        {"the same code as the track before, clear of the boundary",
         {"A 0 3 0", "A 2 3 0"},
         {"own A", "own A"}},
        {"codes in a pause",
         {"A 0 3 0", "pause A 2 pause B 1 pause X 1 B 0 3 0"},
         {"own A", "own B; pause A carried_over; pause B early; pause X conflicting"}},
    };
    for (const auto &row : rows) {
        std::vector<track_evidence> tracks;
        for (const std::string &described : row.tracks) {
            tracks.push_back(track(described));
        }
        std::vector<std::string> verdicts;
        for (const auto &v : report::isrc_vote(tracks)) {
            verdicts.push_back(verdict(v));
        }
        EXPECT_EQ(verdicts, row.verdicts) << row.name;
    }
}

TEST(Vote, TheCatalogNumber) {
    const std::string valid = "0724384960650", other = "4006381333931", zeros = "0000000000000",
                      failing = "0724384960651";
    const struct {
        const char *name;
        std::map<std::string, uint32_t> frames;
        std::string value, rival; // "" for none
    } rows[] = {
        {"one number", {{valid, 10}}, valid, ""},
        {"two valid numbers", {{valid, 31}, {other, 16}}, valid, other},
        {"the majority on the larger number", {{valid, 16}, {other, 31}}, other, valid},
        {"a placeholder on more frames", {{zeros, 25}, {valid, 22}}, valid, ""},
        {"a failing check digit on more frames", {{failing, 25}, {valid, 22}}, valid, ""},
        {"a rival on a few frames", {{valid, 20}, {other, 3}}, valid, ""},
        {"a rival on one frame more", {{valid, 20}, {other, 4}}, valid, other},
        {"a tie is a tie", {{valid, 5}, {other, 5}}, "", valid},
        {"no valid number", {{failing, 10}, {zeros, 3}}, failing, ""},
    };
    for (const auto &row : rows) {
        const report::catalog_verdict v = report::catalog_vote(row.frames);
        EXPECT_EQ(v.value.value_or(""), row.value) << row.name;
        EXPECT_EQ(v.rival.value_or(""), row.rival) << row.name;
    }
}

} // namespace
