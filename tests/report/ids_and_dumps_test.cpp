// The disc IDs as qscan-report takes them from a scan's layout, and reports
// read straight from sub-channel dumps: the same report as qscan -r of the
// same image, from whatever LBA the dump begins, and a dump cut short.
#include "discgen.h"
#include "report/report_runs.h"
#include "support/images.h"
#include "support/process.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <sstream>

namespace {

using nlohmann::json;

process_result report(const std::vector<std::string> &args) {
    std::vector<std::string> argv = {QSCAN_REPORT_EXE};
    argv.insert(argv.end(), args.begin(), args.end());
    return run_process(QSCAN_REPORT_EXE, argv);
}

std::vector<discgen_frame> frames_of(const std::string &description) {
    discgen_description d;
    EXPECT_EQ(discgen_parse(description, &d), "");
    return discgen_frames(d);
}

// The disc's image, and what qscan prints of it with options, saved.
std::string scanned(const std::string &name, const std::string &description,
                    const std::string &options = "-r") {
    const std::string image =
        write_file(name + ".sub", discgen_image(frames_of(description), true, 5));
    const std::string out = run_qscan({options, "X:"}, image).out;
    return write_file(name + ".txt", std::vector<uint8_t>(out.begin(), out.end()));
}

std::string sample_disc() {
    std::ifstream in(QSCAN_SAMPLES "/sample.disc");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// MusicBrainz's table of contents is "first last leadout offsets...", each
// offset an LBA + 150; it counts the audio session only.
TEST(DiscIds, FromTheLayout) {
    const struct {
        const char *name;
        std::string disc, options;
        json toc;                  // ids/musicbrainz_toc, or null
        std::string accuraterip;   // the start of its name: the audio tracks' count
        std::string freedb_tracks; // freedb's last byte: every track counts
        bool assumed;
        std::string reason; // in ids_reason
    } rows[] = {
        {"audio, the lead-out read",
         "track - length 0:10.00\ntrack - pregap 0:02.00 length 0:10.00\nleadout 0:01.00\n", "-r",
         "1 2 1800 150 1050", "dBAR-002-", "02", false, ""},
        {"the lead-out refused: the sector after the last read",
         "track - length 0:10.00\ntrack - pregap 0:02.00 length 0:10.00\n", "-r",
         "1 2 1800 150 1050", "dBAR-002-", "02", true, ""},
        {"a data track first, counted by MusicBrainz",
         "track - length 0:10.00 control 4\ntrack - pregap 0:02.00 length 0:10.00\n"
         "track - length 0:10.00\nleadout 0:01.00\n",
         "-r", "1 3 2550 150 1050 1800", "dBAR-002-", "03", false, ""},
        {"a data session after the audio: its lead-out 11400 before the data",
         "track - length 0:10.00\ntrack - length 0:10.00\n"
         "track - pregap 2:32.00 length 0:10.00 control 4\nleadout 0:01.00\n",
         "-r", "1 2 1650 150 900", "dBAR-002-", "03", false, ""},
        {"a track no frame of which was read",
         "track - length 0:20.00\ntrack - length 0:04.00\ntrack - length 0:20.00\n"
         "at 1500-1799 crc_error\n",
         "-r", nullptr, "", "", true, "track 2 could not be read"},
        {"code lines only", "isrc_every 100\ntrack GBAYE6900001 length 0:10.00\n", "-i", nullptr,
         "", "", false, "the raw lines of qscan -r"},
    };
    for (const auto &row : rows) {
        const std::string output = scanned("ids", row.disc, row.options);
        const json r = json::parse(report({"--json", output}).out);
        const json &ids = r["ids"];
        if (row.toc.is_null()) {
            EXPECT_TRUE(ids.is_null()) << row.name;
            EXPECT_NE(r["ids_reason"].get<std::string>().find(row.reason), std::string::npos)
                << row.name << ": " << r["ids_reason"];
            const std::string text = report({output}).out;
            EXPECT_NE(text.find("IDs       none: "), std::string::npos) << row.name << "\n" << text;
            continue;
        }
        ASSERT_TRUE(ids.is_object()) << row.name << ": " << r["ids_reason"];
        EXPECT_EQ(r["ids_reason"], nullptr) << row.name;
        EXPECT_EQ(ids["musicbrainz_toc"], row.toc) << row.name;
        EXPECT_NE(ids["accuraterip"].get<std::string>().find(row.accuraterip), std::string::npos)
            << row.name << ": " << ids["accuraterip"];
        EXPECT_EQ(ids["freedb"].get<std::string>().substr(6), row.freedb_tracks) << row.name;
        EXPECT_EQ(ids["leadout_assumed"], row.assumed) << row.name;
        const std::string text = report({output}).out;
        EXPECT_NE(text.find("IDs       MusicBrainz " + ids["musicbrainz"].get<std::string>()),
                  std::string::npos)
            << row.name << "\n"
            << text;
        EXPECT_EQ(text.find("no lead-out frame was read") != std::string::npos, row.assumed)
            << row.name;
    }
}

// Every form of the report from the dump, and its exit status, is what the
// same form says of qscan -r reading the same image.
TEST(Dumps, ReportAsQscanRDoes) {
    const struct {
        const char *name;
        std::string disc;
        bool deinterleaved;
    } rows[] = {
        {"the sample disc, a .sub", sample_disc(), true},
        {"the sample disc, raw P-W", sample_disc(), false},
        {"damage, a data track, no lead-out",
         "damage 0.02\nseed 9\nisrc_every 50\ntrack GBAYE6900001 length 0:20.00\n"
         "track - pregap 0:02.00 length 0:10.00 control 4\n",
         true},
        {"a drive's Q offset in the image",
         "isrc_every 50\ntrack GBAYE6900001 length 0:20.00\nq_offset 2\n", false},
    };
    for (const auto &row : rows) {
        const std::vector<discgen_frame> frames = frames_of(row.disc);
        const std::string sub = write_file("same.sub", discgen_image(frames, true, 3)),
                          raw = write_file("same.subcode", discgen_image(frames, false, 3));
        const std::string scan = run_qscan({"-r", "X:"}, sub).out;
        const std::string lines = write_file("same.txt", {scan.begin(), scan.end()});
        for (const std::vector<std::string> &form :
             {std::vector<std::string>{}, {"--json"}, {"--cue"}, {"--svg", "-"}}) {
            std::vector<std::string> from_dump = form, from_lines = form;
            if (row.deinterleaved) {
                from_dump.push_back(sub);
            } else {
                from_dump.insert(from_dump.end(), {"--raw-pw", raw});
            }
            from_lines.push_back(lines);
            const process_result dump = report(from_dump), expected = report(from_lines);
            ASSERT_NE(expected.out, "") << row.name;
            EXPECT_EQ(without_file_names(dump.out), without_file_names(expected.out))
                << row.name << " " << testing::PrintToString(form);
            EXPECT_EQ(dump.err + std::to_string(dump.exit_status),
                      expected.err + std::to_string(expected.exit_status))
                << row.name;
        }
    }
}

// A dump that begins elsewhere than LBA 0 reports the disc's own LBAs when
// --first-lba says where, and a drive whose Q is off when it does not.
TEST(Dumps, FirstLba) {
    const std::vector<discgen_frame> disc =
        frames_of("isrc_every 50\ntrack GBAYE6900001 length 0:20.00\n"
                  "track GBAYE6900002 pregap 0:02.00 length 0:20.00\nleadout 0:01.00\n"
                  "at 3100-3109 crc_error\n");
    // Track 1's pause, before LBA 0: its relative time counts down to index 01.
    std::vector<q_bytes> pregap;
    for (int i = 0; i < 150; ++i) {
        pregap.push_back(q_position(1, 0, 0, (150 - i) / 75, (150 - i) % 75, 0, i / 75, i % 75));
    }
    std::vector<q_bytes> all = pregap;
    for (const discgen_frame &f : disc) {
        all.push_back(std::to_array(f.q));
    }
    const struct {
        const char *name;
        size_t skipped, cut; // records of all left out at the start, and at the end
        const char *first_lba;
        json index00, q_offset;
    } rows[] = {
        {"from the pregap", 0, 0, "-150", -150, 0},
        {"from the pregap, the lead-out refused", 0, 75, "-150", -150, 0},
        {"from LBA 0", 150, 0, "0", nullptr, 0},
        {"from LBA 75", 225, 0, "75", nullptr, 0},
        {"from the pregap, said to be from LBA 0", 0, 0, "0", -150, -150},
    };
    // Track 2, its codes and damage where they lie, as a dump from LBA 0 has it.
    const json track2 = json::parse(
        report({"--json",
                write_image("plain.sub", std::vector<q_bytes>(all.begin() + 150, all.end()))})
            .out)["tracks"][1];
    ASSERT_EQ(track2["damaged"], 10);
    for (const auto &row : rows) {
        const std::string dump = write_image(
            "first.sub", std::vector<q_bytes>(all.begin() + static_cast<long>(row.skipped),
                                              all.end() - static_cast<long>(row.cut)));
        const json r = json::parse(report({"--json", "--first-lba", row.first_lba, dump}).out);
        EXPECT_EQ(r["sectors"], all.size() - row.skipped - row.cut) << row.name;
        EXPECT_EQ(r["drive"]["q_offset"], row.q_offset) << row.name;
        EXPECT_EQ(r["tracks"][0]["index00_lba"], row.index00) << row.name;
        if (row.q_offset == 0) {
            EXPECT_EQ(r["tracks"][1], track2) << row.name;
            EXPECT_EQ(r["leadout_lba"], row.cut > 0 ? json(nullptr) : json(3150)) << row.name;
            EXPECT_EQ(r["ids"]["musicbrainz_toc"], "1 2 3300 150 1800") << row.name;
            EXPECT_EQ(r["findings"], json::array()) << row.name;
        }
    }
    const process_result text = report({"--first-lba", "-150", write_file("first.txt", {'x'})});
    EXPECT_NE(text.err.find("--first-lba: for a sub-channel dump"), std::string::npos) << text.err;
    EXPECT_EQ(text.exit_status, 2);
}

// A dump that begins in the lead-in: its table of contents is good frames,
// shown beside the layout it agrees with, and the drive check is the
// program area's.
TEST(Dumps, FromTheLeadIn) {
    std::vector<discgen_frame> frames =
        frames_of("isrc_every 50\nlead_in 1:00.00\ntrack GBAYE6900001 length 0:20.00\n"
                  "track GBAYE6900002 pregap 0:02.00 length 0:20.00\nleadout 0:01.00\n");
    const std::string dump = write_file("lead_in.sub", discgen_image(frames, true, 3));
    const json r = json::parse(report({"--json", "--first-lba", "-4650", dump}).out);
    EXPECT_EQ(r["frames"]["lead_in"], 4500);
    EXPECT_EQ(r["frames"]["data_error"], 0);
    EXPECT_EQ(r["drive"]["q_offset"], 0);
    EXPECT_EQ(r["lead_in"], json::parse(R"({"first_track": 1, "last_track": 2, "leadout_lba": 3150,
        "tracks": [{"number": 1, "lba": 0, "control": 0}, {"number": 2, "lba": 1650,
        "control": 0}]})"));
    EXPECT_EQ(r["tracks"][0]["index00_lba"], -150);
    EXPECT_EQ(r["ids"]["musicbrainz_toc"], "1 2 3300 150 1800");
    EXPECT_EQ(r["findings"], json::array());
    // A table of contents that puts track 2 a second late disagrees.
    for (discgen_frame &f : frames) {
        if ((f.q[0] & 15) == 1 && f.q[1] == 0x00 && f.q[2] == 0x02) {
            f.q[8] = 0x25;
            discgen_seal(f.q);
        }
    }
    const json late = json::parse(report({"--json", "--first-lba", "-4650",
                                          write_file("late.sub", discgen_image(frames, true, 3))})
                                      .out);
    ASSERT_EQ(late["findings"].size(), 1u) << late["findings"].dump(1);
    EXPECT_EQ(late["findings"][0]["kind"], "toc_mismatch");
    EXPECT_EQ(late["findings"][0]["track"], 2);
    EXPECT_EQ(late["findings"][0]["values"]["toc"], 1725);
    // The lead-in alone holds no position frame of the program area.
    frames.resize(4500);
    const json alone = json::parse(report({"--json", "--first-lba", "-4650",
                                           write_file("alone.sub", discgen_image(frames, true, 3))})
                                       .out);
    std::vector<std::string> kinds;
    for (const json &f : alone["findings"]) {
        kinds.push_back(f["kind"]);
    }
    EXPECT_EQ(kinds, (std::vector<std::string>{"toc_mismatch", "toc_mismatch", "no_usable_q"}));
    // An Enhanced CD dumped from its first lead-in: that lead-in's lead-out
    // is the audio session's, not the disc's.
    const std::string enhanced = write_file(
        "enhanced.sub",
        discgen_image(
            frames_of("isrc_every 50\nlead_in 1:00.00\ntrack GBAYE6900001 length 0:20.00\n"
                      "track - pregap 0:02.00 length 0:20.00 control 4 session 2\n"
                      "leadout 0:01.00\n"),
            true, 3));
    const json both = json::parse(report({"--json", "--first-lba", "-4650", enhanced}).out);
    EXPECT_EQ(both["lead_in"]["leadout_lba"], 1500);
    EXPECT_EQ(both["findings"], json::array());
}

// A partial sector at the end is left out and said, with its bytes.
TEST(Dumps, ARaggedEnd) {
    const std::vector<uint8_t> whole =
        discgen_image(frames_of("track GBAYE6900001 length 0:02.00\n"), true, 3);
    const struct {
        const char *name;
        size_t size;
        const char *said; // in the finding, or in the error with status 2
        int exit_status;
    } rows[] = {
        {"whole sectors", 150 * 96, nullptr, 0},
        {"a sector and 64 bytes", 149 * 96 + 64, "the dump ends with 64 stray bytes", 1},
        {"one stray byte", 149 * 96 + 1, "the dump ends with 1 stray byte,", 1},
        {"less than a sector", 95, "not one whole sector of 96 bytes", 2},
    };
    for (const auto &row : rows) {
        const std::string dump =
            write_file("ragged.sub", std::vector<uint8_t>(whole.begin(), whole.begin() + row.size));
        const process_result r = report({"--json", dump});
        EXPECT_EQ(r.exit_status, row.exit_status) << row.name << ": " << r.err;
        if (row.exit_status == 2) {
            EXPECT_NE(r.err.find(row.said), std::string::npos) << row.name << ": " << r.err;
            continue;
        }
        const json findings = json::parse(r.out)["findings"];
        ASSERT_EQ(findings.size(), row.said ? 1u : 0u) << row.name << ": " << findings;
        if (row.said) {
            EXPECT_EQ(findings[0]["kind"], "truncated_input") << row.name;
            EXPECT_EQ(findings[0]["values"]["sectors"], 149) << row.name;
            EXPECT_NE(findings[0]["text"].get<std::string>().find(row.said), std::string::npos)
                << row.name << ": " << findings[0]["text"];
        }
    }
}

} // namespace
