// One disc scanned twice, the second time by a drive of another habit: the
// scans are judged alone, then combined sector by sector.
#include "report_runs.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

using nlohmann::json;

// Four short tracks. Track 1 and 4 carry their codes on nine frames each,
// track 2 its own code on two frames and a stranger's on one, track 3 none.
const char BASE_DISC[] = "mcn 0724384960650\nmcn_every 100\nisrc_every 0\n"
                         "track GBAYE6900001 length 0:20.00\n"
                         "track - pregap 0:02.00 length 0:20.00\n"
                         "track - length 0:10.00\n"
                         "track USRC17607839 length 0:20.00\n"
                         "leadout 0:02.00\n"
                         "at 1800 isrc GBAYE6900002\nat 2400 isrc GBAYE6900002\n"
                         "at 3000 isrc GBAYE6900099\n";

std::string disc(const std::string &extra) {
    std::string d = BASE_DISC;
    for (int i = 0; i < 9; ++i) {
        d += "at " + std::to_string(100 + 170 * i) + " isrc\nat " + std::to_string(4000 + 170 * i) +
             " isrc\n";
    }
    return d + extra;
}

// Damage every 120 frames of track 3 from first, and at one of track 2's
// own code frames: alone, neither track can be told.
std::string damaged(int first, int code_frame) {
    std::string d = "at " + std::to_string(code_frame) + " crc_error\n";
    for (int lba = first; lba < 3900; lba += 120) {
        d += "at " + std::to_string(lba) + " crc_error\n";
    }
    return d;
}

std::vector<std::string> alone(const json &scan) {
    std::vector<std::string> out;
    for (const json &t : scan["tracks"]) {
        out.push_back(std::to_string(int(t["number"])) + " " + t["isrc_status"].get<std::string>());
    }
    return out;
}

const std::vector<std::string> PERFECT = {"1 own GBAYE6900001", "2 own GBAYE6900002", "3 none",
                                          "4 own USRC17607839"};

TEST(Scans, TwoDrivesOfDifferentHabitsCombined) {
    const std::string perfect = scan_described("perfect", disc(""));
    const json one = json::parse(run_report({"--json", perfect}).out);
    ASSERT_EQ(track_statuses(one), PERFECT);
    const struct {
        const char *name;
        std::string first, second;      // what each drive adds to the disc
        std::vector<std::string> alone; // the second scan's own verdicts
        std::vector<std::string> kinds; // findings beyond the perfect scan's
        std::string verdict;            // track 2's, combined
    } rows[] = {
        {"a clean drive and one that carries codes over",
         "",
         "carry_over 20\n",
         {"1 own", "2 own", "3 none", "4 own"},
         {"scans_disagree@disc", "scan_only_code@2"},
         "own in 2 of 2 scans"},
        // The drive drops the catalog frames; the codes set one by one it
        // passes on.
        {"one that drops code frames",
         "",
         "drop_codes\n",
         {"1 own", "2 own", "3 none", "4 own"},
         {"scan_drops_codes@disc"},
         "own in 2 of 2 scans"},
        {"one lagging by 2 sectors",
         "",
         "q_offset -2\n",
         {"1 own", "2 own", "3 none", "4 own"},
         {"q_offset@disc"},
         "own in 2 of 2 scans"},
        {"damage in different places on each",
         damaged(3250, 2400),
         damaged(3300, 1800),
         {"1 own", "2 ambiguous", "3 unknown", "4 own"},
         {},
         "own (combined; ambiguous in scans 1 and 2)"},
        // Beyond the slack a frame's own time is trusted for: placed by the
        // offsets in force, as the drive check followed them.
        {"one that slips by 20 sectors",
         "",
         "q_offset 20 from 1200\n",
         {"1 own", "2 own", "3 none", "4 own"},
         {"q_offset@disc", "q_slip@disc"},
         "own in 2 of 2 scans"},
        {"two drives that disagree on one sector's good frame",
         "",
         "at 1000 abs 0:30.00\n",
         {"1 own", "2 own", "3 none", "4 own"},
         {"scans_disagree@disc"},
         "own in 2 of 2 scans"},
    };
    for (const auto &row : rows) {
        const std::string a = scan_described(std::string(row.name) + " 1", disc(row.first)),
                          b = scan_described(std::string(row.name) + " 2", disc(row.second));
        const process_result r = run_report({"--json", "--svg", b + ".svg", a, b});
        ASSERT_EQ(r.err, "") << row.name;
        const json j = json::parse(r.out);
        EXPECT_EQ(track_statuses(j), PERFECT) << row.name;
        ASSERT_EQ(j["scans"].size(), 2u) << row.name;
        EXPECT_EQ(alone(j["scans"][1]), row.alone) << row.name;
        EXPECT_EQ(j["tracks"][1]["verdict"], row.verdict) << row.name;
        EXPECT_EQ(j["ids"], one["ids"]) << row.name;
        std::vector<std::string> kinds = finding_kinds(one);
        kinds.insert(kinds.end(), row.kinds.begin(), row.kinds.end());
        std::vector<std::string> got = finding_kinds(j);
        std::sort(kinds.begin(), kinds.end());
        std::sort(got.begin(), got.end());
        EXPECT_EQ(got, kinds) << row.name;
        std::ofstream(b + ".json") << r.out;
        const process_result checked =
            run_process(QSCAN_CHECK_SVG, {QSCAN_CHECK_SVG, b + ".svg", b + ".json"});
        EXPECT_EQ(checked.out + checked.err, "") << row.name;
    }
}

TEST(Scans, EachNamedWhereTheyDiffer) {
    const std::string a = scan_described("first drive", disc("")),
                      lying = scan_described("lying drive", disc("at 1000 abs 0:30.00\n")),
                      other = scan_described(
                          "other pressing",
                          disc("").replace(std::string(BASE_DISC).find("0:10.00"), 7, "0:11.00"));
    const process_result text = run_report({a, lying});
    EXPECT_NE(text.out.find("\nScans\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("scan 1 and scan 2 both read LBA 1000 good, and differently"),
              std::string::npos)
        << text.out;
    const process_result refused = run_report({a, other});
    EXPECT_EQ(refused.exit_status, 2);
    EXPECT_EQ(refused.err, "qscan-report: " + other + ": not a scan of the disc in " + a +
                               ": track 4 begins at LBA 3975 in it, at LBA 3900 in " + a + "\n");
    std::vector<std::string> seventeen(17, a);
    const process_result many = run_report(seventeen);
    EXPECT_EQ(many.exit_status, 2);
    EXPECT_EQ(many.err, "qscan-report: " + a +
                            ": starts the disc again, a scan beyond the 16 that qscan-report "
                            "combines at most\n");
    std::vector<std::string> sixteen(16, a);
    EXPECT_EQ(run_report(sixteen).exit_status, 1);
}

} // namespace
