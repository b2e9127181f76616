// qscan-report on what the built qscan prints for generated discs: which
// ISRC each track carries, the traps around it, the drive check, the three
// forms of the answer and the exit statuses.
#include "discgen.h"
#include "report/report.h"
#include "support/images.h"
#include "support/process.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using nlohmann::json;

// qscan OPTIONS on the disc described; its output saved as NAME.txt.
std::string scan(const std::string &name, const std::string &description,
                 const std::vector<std::string> &options = {"-r", "X:"}) {
    discgen_description disc;
    EXPECT_EQ(discgen_parse(description, &disc), "");
    const std::string image =
        write_file(name + ".sub", discgen_image(discgen_frames(disc), true, disc.seed));
    const process_result scanned = run_qscan(options, image);
    EXPECT_EQ(scanned.exit_status, 0);
    return write_file(name + ".txt", std::vector<uint8_t>(scanned.out.begin(), scanned.out.end()));
}

process_result report(const std::vector<std::string> &args) {
    std::vector<std::string> argv = {QSCAN_REPORT_EXE};
    argv.insert(argv.end(), args.begin(), args.end());
    return run_process(QSCAN_REPORT_EXE, argv);
}

// The report of one scan, but for the name of its file.
json report_json(const std::string &output) {
    const process_result r = report({"--json", output});
    EXPECT_EQ(r.err, "");
    json j = json::parse(r.out);
    for (json &scan : j["scans"]) {
        scan.erase("files");
    }
    return j;
}

// "CODE FRAMES FIRST-LAST KIND" for each code of a list.
std::vector<std::string> codes(const json &list) {
    std::vector<std::string> out;
    for (const json &c : list) {
        out.push_back(c.value("isrc", c.value("mcn", "")) + " " + std::to_string(int(c["frames"])) +
                      " " + std::to_string(int(c["first_lba"])) + "-" +
                      std::to_string(int(c["last_lba"])) + " " + c.value("kind", ""));
    }
    return out;
}

std::vector<std::string> finding_kinds(const json &r) {
    std::vector<std::string> out;
    for (const json &f : r["findings"]) {
        out.push_back(f["kind"].get<std::string>() + "@" +
                      (f["track"].is_null() ? "disc" : std::to_string(int(f["track"]))));
    }
    return out;
}

// Tracks 0-1499; 1500-1649 pause, 1650-3149; 3150-3899; 3900-3974 pause,
// 3975-5474; lead-out from 5475.
const std::string trap_disc = R"(mcn 0724384960650
mcn_every 97
isrc_every 10
seed 5
track GBAYE6900123 length 0:20.00
track GBAYE6900124 pregap 0:02.00 length 0:20.00
track -            length 0:10.00
track USRC17607839 pregap 0:01.00 length 0:20.00
leadout 0:01.00
at 700 isrc GBAYE6900999
at 705 isrc GB:YE6900123
at 710 isrc 000000000000
at 1520 isrc
at 1650 isrc
at 1651-1653 isrc GBAYE6900123
at 3150-3151 isrc GBAYE6900124
at 3300 abs 10:00.00
at 3880-3885 isrc USRC17607839
)";

struct expected_track {
    json isrc, index00, index01;
    std::vector<std::string> others, pause;
};

const expected_track trap_tracks[] = {
    {"GBAYE6900123",
     nullptr,
     0,
     {"GBAYE6900999 1 700-700 conflicting", "GB:YE6900123 1 705-705 conflicting",
      "000000000000 1 710-710 conflicting"},
     {}},
    // Its first frame (1650) is an ISRC frame, read before any position frame
    // of the track; the previous code goes on for three frames.
    {"GBAYE6900124",
     1500,
     1650,
     {"GBAYE6900123 3 1651-1653 carried_over"},
     {"GBAYE6900124 1 1520-1520 early"}},
    // Neighbours' codes at both ends are no code of its own.
    {nullptr,
     nullptr,
     3150,
     {"GBAYE6900124 2 3150-3151 carried_over", "USRC17607839 6 3880-3885 early"},
     {}},
    {"USRC17607839", 3900, 3975, {}, {}},
};

TEST(Report, EachTrackGetsItsOwnCodeWhateverTheDriveSendsAroundIt) {
    const std::string raw = scan("traps", trap_disc);
    const std::string lines = scan("traps-lines", trap_disc, {"-c", "-i", "X:"});
    for (const std::string &output : {raw, lines}) {
        const json r = report_json(output);
        const bool from_raw = r["source"] == "raw";
        ASSERT_EQ(r["tracks"].size(), 4u) << output;
        for (size_t i = 0; i < 4; ++i) {
            const json &t = r["tracks"][i];
            const expected_track &e = trap_tracks[i];
            EXPECT_EQ(t["number"], i + 1);
            EXPECT_EQ(t["isrc"], e.isrc) << "track " << i + 1 << " of " << output;
            EXPECT_EQ(codes(t["other_isrcs"]), e.others) << "track " << i + 1 << " of " << output;
            EXPECT_EQ(codes(t["pause_isrcs"]), e.pause) << "track " << i + 1 << " of " << output;
            // Without raw lines neither the layout nor the damage is known.
            EXPECT_EQ(t["index00_lba"], from_raw ? e.index00 : json(nullptr)) << i + 1;
            EXPECT_EQ(t["index01_lba"], from_raw ? e.index01 : json(nullptr)) << i + 1;
            EXPECT_EQ(t["damaged"], from_raw ? json(0) : json(nullptr)) << i + 1;
        }
        EXPECT_EQ(r["tracks"][1]["isrc_first_lba"], 1650);
        EXPECT_EQ(r["leadout_lba"], from_raw ? json(5475) : json(nullptr));
        std::vector<std::string> kinds = {"conflicting_isrc@1", "invalid_isrc@1",
                                          "placeholder_isrc@1", "missing_isrc@3"};
        if (!from_raw) {
            kinds.push_back("layout_incomplete@disc"); // lines show no track after the last
        }
        EXPECT_EQ(finding_kinds(r), kinds) << output;
        EXPECT_EQ(report({output}).exit_status, 1);
    }
    // The position frame naming the wrong time moves nothing, and every line
    // of an all-options run says no more than the raw lines do.
    const json r = report_json(raw);
    EXPECT_EQ(r["drive"]["slips"], json::array());
    EXPECT_EQ(r["drive"]["q_offset"], 0);
    EXPECT_EQ(
        r, report_json(scan("traps-all", trap_disc, {"-r", "-p", "-t", "-c", "-i", "-e", "X:"})));
}

TEST(Report, CatalogNumbers) {
    const struct {
        const char *name, *lines;
        const char *value;
        bool check_digit_valid, placeholder;
        std::vector<std::string> findings;
        bool catalog = false; // in the CUE sheet
    } rows[] = {
        {"good", "mcn 0724384960650\nmcn_every 50\n", "0724384960650", true, false, {}, true},
        {"two valid numbers",
         "mcn 0724384960650\nmcn_every 24\nat 100-115 mcn 4006381333931\n",
         "0724384960650",
         true,
         false,
         {"conflicting_mcn@disc"}},
        {"a placeholder on more frames",
         "mcn 0000000000000\nmcn_every 30\nat 200-221 mcn 0724384960650\n",
         "0724384960650",
         true,
         false,
         {},
         true},
        {"bad check digit",
         "mcn 0724384960651\nmcn_every 50\n",
         "0724384960651",
         false,
         false,
         {"mcn_check_digit@disc"}},
        {"all zeros",
         "mcn 0000000000000\nmcn_every 50\n",
         "0000000000000",
         true,
         true,
         {"placeholder_mcn@disc"}},
        {"not digits",
         "at 100-110 mcn 07243849606:0\n",
         "07243849606:0",
         false,
         false,
         {"invalid_mcn@disc"}},
    };
    for (const auto &row : rows) {
        const json r = report_json(
            scan("mcn", std::string(row.lines) + "track GBAYE6900123 length 0:10.00\n"));
        EXPECT_EQ(r["mcn"]["value"], row.value) << row.name;
        EXPECT_EQ(r["mcn"]["check_digit_valid"], row.check_digit_valid) << row.name;
        EXPECT_EQ(r["mcn"]["placeholder"], row.placeholder) << row.name;
        EXPECT_EQ(finding_kinds(r), row.findings) << row.name;
        const std::string cue = report({"--cue", scratch_path("mcn.txt")}).out;
        EXPECT_EQ(cue.find("CATALOG " + std::string(row.value)) != std::string::npos, row.catalog)
            << row.name;
    }
}

TEST(Report, TheDriveCheck) {
    const std::string disc = "isrc_every 10\nseed 3\ntrack GBAYE6900123 length 0:20.00\n"
                             "track GBAYE6900124 pregap 0:02.00 length 0:20.00\n";
    const struct {
        const char *name, *lines;
        json q_offset;
        json slips;
        bool usable_q;
        std::vector<std::string> findings;
    } rows[] = {
        {"good drive", "", 0, json::array(), true, {}},
        {"Q two sectors on", "q_offset 2\n", 2, json::array(), true, {"q_offset@disc"}},
        {"a slip",
         "q_offset 1 from 2000\n",
         0,
         json::parse(R"([{"sector": 2000, "offset": 1}])"),
         true,
         {"q_slip@disc"}},
        {"scratched", "damage 0.05\n", 0, json::array(), true, {"damage@disc"}},
        {"1 % of 3200 sectors damaged is not yet damage",
         "leadout 0:00.50\nat 100-131 crc_error\n",
         0,
         json::array(),
         true,
         {}},
        {"a frame more",
         "leadout 0:00.50\nat 100-132 crc_error\n",
         0,
         json::array(),
         true,
         {"damage@disc"}},
        {"every frame damaged", "damage 1\n", nullptr, json::array(), false, {"no_usable_q@disc"}},
        {"96 zero bytes a sector",
         "at 0-3149 q 00 00 00 00 00 00 00 00 00 00 00 00\n",
         nullptr,
         json::array(),
         false,
         {"no_usable_q@disc"}},
    };
    for (const auto &row : rows) {
        const json r = report_json(scan("drive", disc + row.lines));
        EXPECT_EQ(r["drive"]["q_offset"], row.q_offset) << row.name;
        EXPECT_EQ(r["drive"]["slips"], row.slips) << row.name;
        EXPECT_EQ(r["drive"]["usable_q"], row.usable_q) << row.name;
        EXPECT_EQ(finding_kinds(r), row.findings) << row.name;
        if (row.usable_q) {
            // Whatever the drive's offset, the layout and the codes are the disc's.
            ASSERT_EQ(r["tracks"].size(), 2u) << row.name;
            EXPECT_EQ(r["tracks"][1]["index01_lba"], 1650) << row.name;
            EXPECT_EQ(r["tracks"][1]["isrc"], "GBAYE6900124") << row.name;
            EXPECT_EQ(r["tracks"][0]["other_isrcs"], json::array()) << row.name;
        } else {
            EXPECT_EQ(r["tracks"], json::array()) << row.name;
        }
    }
}

TEST(Report, CueSheet) {
    const std::string output = scan("cue", R"(mcn 0724384960650
mcn_every 97
isrc_every 10
track GBAYE6900123 length 0:10.00 control 2
track USRC17607839 pregap 0:02.00 length 0:10.00 control 9
track -            pregap 0:01.00 length 0:10.00 control 4
track -            length 0:05.00
at 2480-2499 isrc GB:YE6900124
)");
    const process_result r = report({"--cue", "--cue-file", "my disc.bin", output});
    // FLAGS from CONTROL, a data track, pauses, and no ISRC for track 4,
    // whose code is no valid ISRC.
    // The freedb ID counts the data track: offsets 2, 14, 25 and 35 seconds,
    // digits summing to 0x16, and 40 - 2 = 0x26 seconds to the lead-out.
    EXPECT_EQ(r.out, "REM DISCID 16002604\n"
                     "REM COMMENT \"qscan-report " QSCAN_VERSION "\"\n"
                     "CATALOG 0724384960650\n"
                     "FILE \"my disc.bin\" BINARY\n"
                     "  TRACK 01 AUDIO\n"
                     "    FLAGS DCP\n"
                     "    ISRC GBAYE6900123\n"
                     "    INDEX 01 00:00:00\n"
                     "  TRACK 02 AUDIO\n"
                     "    FLAGS 4CH PRE\n"
                     "    ISRC USRC17607839\n"
                     "    INDEX 00 00:10:00\n"
                     "    INDEX 01 00:12:00\n"
                     "  TRACK 03 MODE1/2352\n"
                     "    INDEX 00 00:22:00\n"
                     "    INDEX 01 00:23:00\n"
                     "  TRACK 04 AUDIO\n"
                     "    INDEX 01 00:33:00\n");
    EXPECT_EQ(r.exit_status, 1); // track 4's code is no valid ISRC
    // No CATALOG for a number whose check digit fails.
    const process_result bad = report(
        {"--cue", scan("cue-bad", "mcn 0724384960651\nmcn_every 50\ntrack - length 0:05.00\n")});
    EXPECT_EQ(bad.out.find("CATALOG"), std::string::npos) << bad.out;
    EXPECT_NE(bad.out.find("TRACK 01 AUDIO"), std::string::npos) << bad.out;
}

TEST(Report, InputItCannotRead) {
    const std::string good = "01 01 01 00 00 00 00 00 02 00 5a 28 \n";
    const struct {
        const char *name;
        std::string input;
        std::vector<std::string> args;
        std::string error;
    } rows[] = {
        {"a line qscan never prints", good + "hello\n", {}, ":2: not a line qscan prints: 'hello'"},
        {"upper-case hex", "01 01 01 00 00 00 00 00 02 00 5A 28 \n", {}, ":1: not a line"},
        // Its last blank alone may be stripped: one character more is cut.
        {"a raw line cut short", good + "01 01 01 00 00 00 00 00 02 00 5a 2\n", {}, ":2: not a"},
        {"a second that cannot be", " 1.01 00:60.00 00:02.00\n", {}, ":1: not a line"},
        {"the usage line",
         "Usage: qscan [-r] [-p] [-t] [-c] [-i] [-e]  device\n",
         {},
         ":1: qscan's usage line"},
        {"nothing at all", "", {}, "the drive returned nothing"},
        {"a CUE sheet without raw lines",
         " 1.01 00:00.00 00:02.00 : GB-AYE-69-00123\n",
         {"--cue"},
         "a CUE sheet needs the raw lines of qscan -r"},
        {"a picture without raw lines",
         " 1.01 00:00.00 00:02.00 : GB-AYE-69-00123\n",
         {"--svg", "-"},
         "a picture needs the raw lines of qscan -r"},
        {"two forms at once", good, {"--json", "--cue"}, "excludes"},
        {"an option it does not know", good, {"--frobnicate"}, "frobnicate"},
    };
    for (const auto &row : rows) {
        const std::string path =
            write_file("unreadable.txt", std::vector<uint8_t>(row.input.begin(), row.input.end()));
        std::vector<std::string> args = row.args;
        args.push_back(path);
        const process_result r = report(args);
        EXPECT_EQ(r.out, "") << row.name;
        EXPECT_NE(r.err.find(row.error), std::string::npos) << row.name << ": " << r.err;
        EXPECT_EQ(r.exit_status, 2) << row.name;
    }
    const process_result missing = report({scratch_path("no-such-scan.txt")});
    EXPECT_NE(missing.err.find("cannot be opened"), std::string::npos);
    EXPECT_EQ(missing.exit_status, 2);
}

TEST(Report, TheSampleDisc) {
    const process_result r = report({scan("sample", [] {
        std::ifstream in(QSCAN_SAMPLES "/sample.disc");
        return std::string(std::istreambuf_iterator<char>(in), {});
    }())});
    // The IDs worked by hand from the offsets 150, 3300, 6000 and 7650 and
    // the lead-out at 11025: freedb digit sums 2+8+8+3 = 0x15 and 147 - 2 =
    // 0x91 seconds; AccurateRip the LBAs summed, 0x6aef, and weighted by
    // track number, 0x1a6c2; MusicBrainz the SHA-1 of that table of contents.
    EXPECT_EQ(r.out, "qscan-report " QSCAN_VERSION R"(
Disc      11025 sectors read, 02:27.00 of disc time
Frames    10997 good, 26 CRC errors, 1 data error, 1 unknown mode: 0.24% damaged
MCN       0724384960650 on 110 frames, check digit holds
Drive     Q offset 0 on 100.0% of 10800 position frames, no slips
Lead-out  LBA 10875 (02:27.00)
IDs       MusicBrainz Vh4bZLQxB3zNVzo4dJp5U2NDhBY-, freedb 15009104
          AccurateRip f/e/a/dBAR-004-00006aef-0001a6c2-15009104.bin
          https://musicbrainz.org/cdtoc/attach?id=Vh4bZLQxB3zNVzo4dJp5U2NDhBY-&tracks=4&toc=1+4+11025+150+3300+6000+7650

Track  Start     Length       LBA  ISRC             Frames  Damaged
    1  00:00.00  00:42.00       0  GB-AYE-69-00123      29       10
    2  00:42.00  00:36.00    3150  GB-AYE-69-00124      26        5
       pause 00:02.00
    3  01:18.00  00:22.00    5850  none                  0        3
       pause 00:01.00
    4  01:40.00  00:45.00    7500  US-RC1-76-07839      32        9
       pause 00:02.00

Findings
  track 3: no ISRC, while other tracks carry one: check the master's code list
)");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.exit_status, 1);
}

// The picture says what the JSON says: a band per track with its code,
// damage that adds up, and it is SVG that a real renderer draws.
TEST(Report, APictureOfTheDisc) {
    const std::string damaged_traps = trap_disc + "damage 0.01\nq_offset 1 from 4500\n";
    for (const std::string &output :
         {scan("picture-sample",
               [] {
                   std::ifstream in(QSCAN_SAMPLES "/sample.disc");
                   return std::string(std::istreambuf_iterator<char>(in), {});
               }()),
          scan("picture-traps", damaged_traps)}) {
        const std::string svg = output + ".svg";
        const process_result r = report({"--json", "--svg", svg, output});
        const json j = json::parse(r.out);
        auto xpath = [&](const std::string &path) {
            const process_result x =
                run_process("/usr/bin/xmllint", {"xmllint", "--xpath", path, svg});
            EXPECT_EQ(x.exit_status, 0) << path << x.err;
            return x.out;
        };
        std::string bands, labels;
        for (const json &t : j["tracks"]) {
            const std::string number = std::to_string(int(t["number"]));
            const std::string code =
                t["isrc"].is_null() ? "no ISRC" : report::grouped_isrc(t["isrc"]);
            labels += number + "\n" + code + "\n";
            bands +=
                "Track " + number + ": " + code +
                (t["isrc"].is_null() ? ""
                                     : " on " + std::to_string(int(t["isrc_frames"])) + " frames") +
                "\n";
        }
        // Every band is wide enough here for its label.
        EXPECT_EQ(xpath("//*[@class='label']/text()"), labels) << output;
        std::string titles = xpath("//*[@class='track']/*[local-name()='title']/text()"), shown;
        for (size_t at = 0; at < titles.size(); at = titles.find('\n', at) + 1) {
            shown += titles.substr(at, titles.find_first_of(";\n", at) - at) + "\n";
        }
        EXPECT_EQ(shown, bands) << output;
        int damaged = 0;
        std::istringstream bars(xpath("//*[@class='damage']/*[local-name()='title']/text()"));
        for (std::string bar; std::getline(bars, bar);) {
            damaged += std::stoi(bar.substr(bar.rfind(": ") + 2));
        }
        EXPECT_EQ(damaged, int(j["frames"]["crc_error"]) + int(j["frames"]["data_error"]))
            << output;
        EXPECT_EQ(xpath("count(//*[@class='slip'])"),
                  std::to_string(j["drive"]["slips"].size()) + "\n");
        const process_result png =
            run_process("/usr/bin/rsvg-convert", {"rsvg-convert", "-o", output + ".png", svg});
        EXPECT_EQ(png.exit_status, 0) << png.err;
        EXPECT_GT(std::filesystem::file_size(output + ".png"), 10000u);
    }
}

// A live scan takes minutes: on a terminal, a status line keeps the user
// company; anywhere else, standard error stays silent (every row above).
TEST(Report, ProgressOnATerminal) {
    const std::string output = scan("progress", trap_disc);
    const std::string command = "(head -n 2000 '" + output + "'; sleep 0.6; tail -n +2001 '" +
                                output + "') | '" QSCAN_REPORT_EXE "' 2>&1 >/dev/null";
    const process_result r =
        run_process("/usr/bin/script", {"script", "-qec", command, "/dev/null"});
    EXPECT_NE(r.out.find(" sectors (00:2"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("), track 2, "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(" sectors/s"), std::string::npos) << r.out;
}

} // namespace
