// The ISRC verdict from the whole disc's evidence, on scans at a real disc's
// density of about one ISRC frame in 100: a codeless track at every damage
// level, a code read only in its track's pause, a hidden track, a drive that
// passes on no code frame, and code lines without raw lines.
#include "report/report_runs.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using nlohmann::json;

struct verdict_row {
    std::string name, disc;
    std::vector<std::string> tracks, findings;         // "NUMBER STATUS [CODE]"; "KIND@TRACK"
    std::vector<std::pair<std::string, json>> at = {}; // JSON pointer, value
    std::string options = "-r";
    std::vector<std::string> text = {}; // lines the text report holds
};

void check(const verdict_row &row) {
    std::vector<std::string> options;
    std::istringstream words(row.options);
    for (std::string word; words >> word;) {
        options.push_back(word);
    }
    const std::string output = scan_described("verdict", row.disc, options);
    const process_result r = run_report({"--json", output});
    const json j = json::parse(r.out);
    EXPECT_EQ(track_statuses(j), row.tracks) << row.name;
    EXPECT_EQ(finding_kinds(j), row.findings) << row.name;
    EXPECT_EQ(r.exit_status, row.findings.empty() ? 0 : 1) << row.name;
    for (const auto &[pointer, value] : row.at) {
        const json::json_pointer at(pointer);
        EXPECT_EQ(j.contains(at) ? j.at(at) : json("(missing)"), value) << row.name << pointer;
    }
    // Whatever the verdict, the numbers behind a track without a code are
    // there, and they agree with it.
    for (const json &t : j["tracks"]) {
        if (t["isrc_status"] == "none" || t["isrc_status"] == "unknown") {
            EXPECT_TRUE(t["good_frames"].is_number()) << row.name;
            const json &expected = t["expected_isrc_frames"];
            if (expected.is_number() && t["isrc_status"] == "unknown") {
                EXPECT_LT(expected.get<double>(), 13.9) << row.name << " track " << t["number"];
            }
        }
    }
    if (!row.text.empty()) {
        const std::string text = run_report({output}).out;
        for (const std::string &line : row.text) {
            EXPECT_NE(text.find(line), std::string::npos) << row.name << ": " << line << "\n"
                                                          << text;
        }
    }
}

// Codes on tracks 1, 3 and 5; none on track 2 (a minute) or track 4 (4 s).
std::string codeless(double damage, int every) {
    return "isrc_every " + std::to_string(every) + "\ndamage " + std::to_string(damage) +
           "\nseed 7\ntrack GBAYE6900001 length 2:00.00\ntrack - length 1:00.00\n"
           "track GBAYE6900003 length 2:00.00\ntrack - length 0:04.00\n"
           "track GBAYE6900005 length 1:00.00\n";
}

TEST(Verdict, ACodelessTrackAtEachDamageLevel) {
    const std::vector<std::string> damaged = {"1 own GBAYE6900001", "2 none", "3 own GBAYE6900003",
                                              "4 unknown", "5 own GBAYE6900005"};
    const std::vector<std::string> clean = {"1 own GBAYE6900001", "2 none", "3 own GBAYE6900003",
                                            "4 none", "5 own GBAYE6900005"};
    const std::vector<verdict_row> rows = {
        {"no damage: both read long enough without a code",
         codeless(0, 100),
         clean,
         {"missing_isrc@2", "missing_isrc@4"},
         {{"/isrc_density/widest_gap", 99}}},
        // No 100 good frames in a row are likely from 10 % on: the density
        // decides the minute, and 4 s are too few to tell.
        {"10 % damaged", codeless(0.1, 100), damaged, {"missing_isrc@2", "damage@disc"}},
        {"20 % damaged", codeless(0.2, 100), damaged, {"missing_isrc@2", "damage@disc"}},
        {"30 % damaged", codeless(0.3, 100), damaged, {"missing_isrc@2", "damage@disc"}},
        // A disc whose codes lie 500 frames apart shows 300 frames without one
        // on a track that has one.
        {"codes 1 in 500: 4 s without a code tell nothing",
         codeless(0, 500),
         damaged,
         {"missing_isrc@2"},
         {{"/isrc_density/clean_run_needed", 500}}},
        // Damage cuts the gaps between codes 1000 apart: they are measured
        // whole, and 10 s without a code tell nothing.
        {"codes 1 in 1000 at 1 % damage: 10 s without a code tell nothing",
         "isrc_every 1000\ndamage 0.01\nseed 5\ntrack GBAYE6900001 length 2:00.01\n"
         "track - length 0:10.00\ntrack GBAYE6900003 length 2:00.00\n",
         {"1 own GBAYE6900001", "2 unknown", "3 own GBAYE6900003"},
         {},
         {{"/isrc_density/widest_gap", 999}}},
        {"a 60-frame codeless interlude after a 3 s pause",
         "isrc_every 100\ntrack GBAYE6900001 length 1:00.00\n"
         "track - pregap 0:03.00 length 0:00.60\ntrack GBAYE6900003 length 1:00.00\n",
         {"1 own GBAYE6900001", "2 unknown", "3 own GBAYE6900003"},
         {},
         {{"/tracks/1/good_frames", 60}}},
    };
    for (const verdict_row &row : rows) {
        check(row);
    }
}

TEST(Verdict, ACodeInItsOwnPause) {
    const std::string interlude = "isrc_every 100\ntrack GBAYE6900001 length 1:00.00\n"
                                  "track - pregap 0:02.00 length 0:00.60 pause_isrc ",
                      after = "\ntrack GBAYE6900003 length 1:00.00\n";
    const std::string hidden = "isrc_every 100\ntrack GBAYE6900001 pregap 0:30.00 length 1:00.00 "
                               "pause_isrc ",
                      second = "\ntrack GBAYE6900002 length 1:00.00\n";
    // The pause's first frame is an ISRC frame: where it begins is a range.
    const std::vector<verdict_row> rows = {
        {"a 60-frame interlude, its code read in its pause",
         interlude + "GBAYE6900002" + after,
         {"1 own GBAYE6900001", "2 own GBAYE6900002", "3 own GBAYE6900003"},
         {"uncertain_boundary@2"},
         {{"/tracks/1/isrc_in_pause", true}, {"/tracks/1/pause_isrcs", json::array()}},
         "-r",
         {"read in its pause"}},
        {"the same at 10 % damage",
         "damage 0.1\nseed 3\n" + interlude + "GBAYE6900002" + after,
         {"1 own GBAYE6900001", "2 own GBAYE6900002", "3 own GBAYE6900003"},
         {"uncertain_boundary@2", "damage@disc"},
         {{"/tracks/1/isrc_in_pause", true}}},
        {"its pause carries the previous track's code",
         interlude + "GBAYE6900001" + after,
         {"1 own GBAYE6900001", "2 unknown", "3 own GBAYE6900003"},
         {"uncertain_boundary@2"},
         {{"/tracks/1/pause_isrcs/0/kind", "carried_over"}}},
        {"a hidden track whose pre-gap carries track 1's code",
         hidden + "GBAYE6900001" + second,
         {"1 own GBAYE6900001", "2 own GBAYE6900002"},
         {},
         {{"/hidden_track/isrc", nullptr},
          {"/tracks/0/pause_isrcs/0/kind", "early"},
          {"/tracks/0/isrc_in_pause", false}}},
        {"a hidden track with a code of its own",
         hidden + "GBAYE6900099" + second,
         {"1 own GBAYE6900001", "2 own GBAYE6900002"},
         {},
         {{"/hidden_track/isrc", "GBAYE6900099"}, {"/tracks/0/pause_isrcs", json::array()}}},
        {"a hidden track with a code, track 1 without one",
         "isrc_every 100\ntrack - pregap 0:30.00 length 1:00.00 pause_isrc GBAYE6900099" + second,
         {"1 none", "2 own GBAYE6900002"},
         {"missing_isrc@1"},
         {{"/hidden_track/isrc", "GBAYE6900099"}, {"/tracks/0/isrc_in_pause", false}}},
        {"track 1's code leads the hidden track's span, another on one frame",
         hidden + "GBAYE6900001" + second + "at 1000 isrc GBAYE6900099\n",
         {"1 own GBAYE6900001", "2 own GBAYE6900002"},
         {"conflicting_isrc@1"},
         {{"/hidden_track/isrc", nullptr}}},
    };
    for (const verdict_row &row : rows) {
        check(row);
    }
}

TEST(Verdict, ADriveThatPassesOnNoCodeFrame) {
    const std::string codes = "mcn 0724384960650\nmcn_every 100\nisrc_every 100\n";
    const std::vector<verdict_row> rows = {
        {"codes and a catalog number, dropped by the drive",
         codes +
             "drop_codes\ntrack GBAYE6900001 length 1:00.00\ntrack GBAYE6900002 length 1:00.00\n",
         {"1 none", "2 none"},
         {"no_code_frames@disc"},
         {{"/frames/isrc", 0},
          {"/frames/catalog", 0},
          {"/findings/0/values/sectors", 9000},
          {"/mcn", nullptr}}},
        {"a disc without codes tells the same",
         "track - length 2:00.00\n",
         {"1 none"},
         {"no_code_frames@disc"},
         {{"/tracks/0/expected_isrc_frames", nullptr}}},
        {"a minute exactly is too short to tell", "track - length 1:00.00\n", {"1 none"}, {}},
        {"a minute and a frame", "track - length 1:00.01\n", {"1 none"}, {"no_code_frames@disc"}},
        {"a catalog number alone is a code frame",
         "mcn 0724384960650\nmcn_every 100\ntrack - length 2:00.00\n",
         {"1 none"},
         {},
         {{"/frames/catalog", 90}}},
        {"ISRCs passed on, no catalog number",
         "isrc_every 100\ntrack GBAYE6900001 length 2:00.00\n",
         {"1 own GBAYE6900001"},
         {},
         {{"/frames/isrc", 90}}},
    };
    for (const verdict_row &row : rows) {
        check(row);
    }
}

TEST(Verdict, CodeLinesOnly) {
    const std::string disc =
        "mcn 0724384960650\nmcn_every 50\nisrc_every 100\n"
        "track GBAYE6900001 length 1:00.00\ntrack GBAYE6900002 length 1:00.00\n"
        "track - length 3:00.00\ntrack - length 1:00.00\n";
    const std::vector<verdict_row> rows = {
        {"ISRC lines: the codeless last tracks are not seen",
         disc,
         {"1 own GBAYE6900001", "2 own GBAYE6900002"},
         {"layout_incomplete@disc"},
         {{"/findings/0/values/last_track", 2}},
         "-i",
         {"any track after the last one a line names",
          "code lines alone show no track after track 2"}},
        // Catalog lines show the minutes of tracks 3 and 4 were read.
        {"catalog lines over the codeless tracks",
         disc,
         {"1 own GBAYE6900001", "2 own GBAYE6900002", "3 none", "4 none"},
         {"missing_isrc@3", "missing_isrc@4", "layout_incomplete@disc"},
         {{"/findings/2/values/last_track", 4}},
         "-c -i"},
        // No line at all for a minute: catalog lines show it was not read.
        {"catalog lines around a track damage hides",
         "mcn 0724384960650\nmcn_every 50\nisrc_every 100\ntrack GBAYE6900001 length 1:00.00\n"
         "track GBAYE6900002 length 1:00.00\ntrack GBAYE6900003 length 1:00.00\n"
         "at 4500-9010 crc_error\n",
         {"1 own GBAYE6900001", "2 unknown", "3 own GBAYE6900003"},
         {"layout_incomplete@disc"},
         {},
         "-c -i"},
        // Catalog lines at a track's ends, a minute apart, show nothing of
        // what lies between: only the steps between close lines were read.
        {"catalog lines at both ends of a track damage hides",
         "mcn 0724384960650\nmcn_every 50\nisrc_every 100\ntrack GBAYE6900001 length 1:00.00\n"
         "track GBAYE6900002 length 1:00.00\ntrack GBAYE6900003 length 1:00.00\n"
         "at 4500 crc_error\nat 4600-8900 crc_error\n",
         {"1 own GBAYE6900001", "2 unknown", "3 own GBAYE6900003"},
         {"layout_incomplete@disc"},
         {{"/tracks/1/good_frames", 125}},
         "-c -i"},
        {"catalog lines at 20 % damage",
         "damage 0.2\nseed 5\n" + disc,
         {"1 own GBAYE6900001", "2 own GBAYE6900002", "3 none", "4 none"},
         {"missing_isrc@3", "missing_isrc@4", "layout_incomplete@disc"},
         {},
         "-c -i"},
    };
    for (const verdict_row &row : rows) {
        check(row);
    }
}

} // namespace
