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
    out += v.in_pause ? " in_pause" : "";
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
        {"the previous code near the start and clear of it conflicts",
         {"A 0 10 0", "A 3 1 0 B 0 10 0"},
         {"own A", "own B; A conflicting"}},
        {"the next code near the end and clear of it conflicts",
         {"A 0 5 0", "B 0 5 0 C 0 1 2", "C 0 5 0"},
         {"own A", "own B; C conflicting", "own C"}},
        {"near-start frames of the previous code do not count as clear",
         {"A 0 5 0", "A 5 2 0 B 0 3 0"},
         {"own A", "own B; A conflicting"}},
        {"two short tracks: the next one's guess keeps its code out",
         {"A 0 5 0", "B 2 0 0 C 0 0 3", "C 2 0 0"},
         {"own A", "own B; C early", "own C"}},
        {"a code only in its own pause", {"A 0 5 0", "pause B 2"}, {"own A", "own B in_pause"}},
        {"only the previous code in its pause",
         {"A 0 5 0", "pause A 3"},
         {"own A", "unknown; pause A carried_over"}},
        {"the next track's code in its pause is sent early",
         {"A 0 5 0", "pause C 1 B 0 5 0", "C 0 5 0"},
         {"own A", "own B; pause C early", "own C"}},
        {"an interlude's pause with only the next track's code",
         {"A 0 5 0", "pause C 2", "C 0 5 0"},
         {"own A", "unknown; pause C early", "own C"}},
        {"a code in a pause neither neighbour has",
         {"A 0 5 0", "pause X 1 B 0 5 0", "C 0 5 0"},
         {"own A", "own B; pause X conflicting", "own C"}},
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

// None or unknown from the disc's own density: the first track has its code
// on so many frames of so many good ones; the others have none.
TEST(Vote, NoneFromTheDisc) {
    const struct {
        const char *name;
        std::vector<std::string> tracks;
        std::string last; // the last track's verdict
    } rows[] = {
        {"a 100-frame run", {"A 0 20 0 good 2000", "run 100"}, "none"},
        {"a 99-frame run", {"A 0 20 0 good 2000", "run 99"}, "unknown"},
        {"a run as wide as the disc's widest gap",
         {"A 0 20 0 good 3000 gap 150", "run 150"},
         "unknown"},
        {"a run one frame wider", {"A 0 20 0 good 3000 gap 150", "run 151"}, "none"},
        // 100 - 30 frames of 10000: 0.007 a frame.
        {"10 expected: one chance in 22000", {"A 0 100 0 good 10000", "good 1430"}, "unknown"},
        {"14 expected", {"A 0 100 0 good 10000", "good 2000"}, "none"},
        {"5 frames tell nothing of the density", {"A 0 5 0 good 500", "good 20000"}, "unknown"},
        // An interlude's code in its pause says nothing of the density.
        {"a code in a pause is no density",
         {"A 0 100 0 good 10000", "pause B 2 good 5000", "good 2500"},
         "none"},
        {"no code on the disc: the 100-frame run alone",
         {"run 100 good 5000", "run 99 good 9000"},
         "unknown"},
    };
    for (const auto &row : rows) {
        std::vector<track_evidence> tracks;
        for (const std::string &described : row.tracks) {
            tracks.push_back(track(described));
        }
        EXPECT_EQ(verdict(report::isrc_vote(tracks).back()), row.last) << row.name;
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
