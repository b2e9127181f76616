// The picture's geometry, checked by tests/report/check-svg against the
// JSON of the same scan: labels apart, every track named, codes shown where
// they fit, small damage in sight beside a burst.
#include "report_runs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

std::string sample_disc() {
    std::ifstream in(QSCAN_SAMPLES "/sample.disc");
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Twenty-two tracks, some of them a few seconds long, one without a code,
// a burst of damage beside single frames, and slips close together.
std::string many_tracks() {
    std::string d = "mcn 0724384960650\nmcn_every 97\nisrc_every 40\ndamage 0.001\nseed 9\n"
                    "carry_over 20\n";
    const int seconds[] = {180, 150, 240, 5, 4, 6, 190};
    for (int i = 0; i < 22; ++i) {
        char track[96];
        std::snprintf(track, sizeof track, "track %s%s length %d:%02d.00\n",
                      i == 5 ? "-" : ("GBAYE69" + std::to_string(10001 + i)).c_str(),
                      i > 0 ? " pregap 0:02.00" : "", seconds[i % 7] / 60, seconds[i % 7] % 60);
        d += track;
    }
    return d + "leadout 0:02.00\nat 20000-21500 crc_error\nq_offset 1 from 4500\n"
               "q_offset 0 from 4600\nq_offset 2 from 4700\nq_offset -1 from 60000\n"
               "at 50000 isrc ZZ:YE6900123\n";
}

// A long track, then thirty of four seconds: their numbers outgrow the
// ticks' rows.
std::string short_tracks() {
    std::string d = "isrc_every 10\ntrack USRC17607839 length 5:00.00\n";
    for (int i = 0; i < 30; ++i) {
        d += "track - length 0:04.00\n";
    }
    return d + "leadout 0:01.00\nq_offset 3 from 1000\nq_offset 0 from 1010\n";
}

TEST(Picture, TheGeometryHolds) {
    const struct {
        const char *name;
        std::string description;
        bool each_named_alone = false; // the ticks' two rows hold every number
    } rows[] = {
        {"the sample", sample_disc()},
        {"22 tracks, a burst of damage and slips close together", many_tracks()},
        {"thirty short tracks", short_tracks(), true},
        {"slips and short tracks at the right edge",
         [] {
             std::string d = "first_track 59\nisrc_every 10\ntrack USRC17607839 length 5:00.00\n";
             for (int i = 0; i < 40; ++i) {
                 d += "track - length 0:04.00\n";
             }
             return d + "leadout 0:01.00\nq_offset 3 from 34400\nq_offset 0 from 34480\n";
         }()},
        {"more slips than the analysis keeps",
         [] {
             std::string d = "isrc_every 10\ntrack USRC17607839 length 10:00.00\nleadout 0:01.00\n";
             for (int i = 0; i < 150; ++i) {
                 d += "q_offset " + std::to_string(i % 2) + " from " + std::to_string(300 * i) +
                      "\n";
             }
             return d;
         }()},
        {"a last track of four seconds after an hour",
         "first_track 98\nisrc_every 10\ntrack USRC17607839 length 60:00.00\ntrack - length "
         "0:04.00\n"
         "leadout 0:01.00\n"},
        {"two codes tied on a track", "isrc_every 10\ntrack GBAYE6900123 length 1:00.00 isrc2 "
                                      "GBAYE6900999\ntrack - length 1:00.00\nleadout 0:01.00\n"},
        {"invalid and conflicting codes, one frame wide",
         "isrc_every 10\ntrack GBAYE6900123 length 1:00.00\ntrack - length 1:00.00\n"
         "leadout 0:01.00\nat 700 isrc GB:YE6900123\nat 5000 isrc GBAYE6900999\n"
         "at 6000 crc_error\n"},
    };
    for (const auto &row : rows) {
        const std::string scan = scan_described(row.name, row.description);
        const std::string svg = scan + ".svg", json = scan + ".json";
        const process_result r = run_report({"--json", "--svg", svg, scan});
        ASSERT_LE(r.exit_status, 1) << row.name << r.err;
        std::ofstream(json) << r.out;
        const process_result checked = run_process(QSCAN_CHECK_SVG, {QSCAN_CHECK_SVG, svg, json});
        EXPECT_EQ(checked.out + checked.err, "") << row.name;
        EXPECT_EQ(checked.exit_status, 0) << row.name;
        const process_result png =
            run_process("/usr/bin/rsvg-convert", {"rsvg-convert", "-o", scan + ".png", svg});
        EXPECT_EQ(png.exit_status, 0) << row.name << png.err;
        if (row.each_named_alone) {
            const process_result ranges = run_process(
                "/usr/bin/xmllint", {"xmllint", "--xpath",
                                     "count(//*[@class='tick-label'][contains(text(),'-')])", svg});
            EXPECT_EQ(ranges.out, "0\n") << row.name;
        }
    }
}

// A file name is bytes: one that is not UTF-8, or holds a control
// character, still leaves the picture well-formed XML.
TEST(Picture, AnyFileNameInTheTitle) {
    const std::string scan = scan_described("named", sample_disc());
    const std::string cue = run_report({"--cue", scan}).out;
    const std::string sheet = scan + "-caf\xe9\x01.cue";
    std::ofstream(sheet) << cue;
    const process_result r = run_report({"--expect", sheet, "--svg", scan + ".svg", scan});
    ASSERT_LE(r.exit_status, 1) << r.err;
    const process_result lint =
        run_process("/usr/bin/xmllint", {"xmllint", "--noout", scan + ".svg"});
    EXPECT_EQ(lint.exit_status, 0) << lint.err;
}

} // namespace
