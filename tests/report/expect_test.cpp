// qscan-report --expect: a disc against its master's CUE sheet. The sheet
// qscan-report --cue writes of a scan must match it; each edit of that sheet
// must be named as the one difference it makes, on single-file,
// file-per-track and bare code-list sheets.
#include "discgen.h"
#include "support/images.h"
#include "support/process.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>

namespace {

using nlohmann::json;

// Index 02 in track 1, pre-emphasis on track 2, no code on track 3.
constexpr const char *DISC = R"(mcn 0724384960650
mcn_every 50
isrc_every 20
track GBAYE6900001 length 0:20.00 index 0:10.00
track GBAYE6900002 pregap 0:02.00 length 0:15.00 control 1
track - pregap 0:01.00 length 0:10.00
track GBAYE6900004 pregap 0:02.00 length 0:10.00
leadout 0:02.00
)";

// The same disc as a ripper writes it, a file per track, each pause at the
// end of the track before it.
constexpr const char *PER_TRACK = R"(CATALOG 0724384960650
FILE "01.wav" WAVE
  TRACK 01 AUDIO
    ISRC GBAYE6900001
    INDEX 01 00:00:00
    INDEX 02 00:10:00
  TRACK 02 AUDIO
    FLAGS PRE
    ISRC GBAYE6900002
    INDEX 00 00:20:00
FILE "02.wav" WAVE
    INDEX 01 00:00:00
  TRACK 03 AUDIO
    INDEX 00 00:15:00
FILE "03.wav" WAVE
    INDEX 01 00:00:00
  TRACK 04 AUDIO
    ISRC GBAYE6900004
    INDEX 00 00:10:00
FILE "04.wav" WAVE
    INDEX 01 00:00:00
)";

// The same disc in one file that holds track 1's pause too, as mastering
// tools write a Red Book image: INDEX 00 at 00:00:00, INDEX 01 two seconds on.
constexpr const char *WITH_LEAD_IN = R"(CATALOG 0724384960650
FILE "master.wav" WAVE
  TRACK 01 AUDIO
    ISRC GBAYE6900001
    INDEX 00 00:00:00
    INDEX 01 00:02:00
    INDEX 02 00:12:00
  TRACK 02 AUDIO
    FLAGS PRE
    ISRC GBAYE6900002
    INDEX 00 00:22:00
    INDEX 01 00:24:00
  TRACK 03 AUDIO
    INDEX 00 00:39:00
    INDEX 01 00:40:00
  TRACK 04 AUDIO
    ISRC GBAYE6900004
    INDEX 00 00:50:00
    INDEX 01 00:52:00
)";

constexpr const char *CODE_LIST = R"(CATALOG 0724384960650
TRACK 01 AUDIO
  ISRC GBAYE6900001
TRACK 02 AUDIO
  ISRC GBAYE6900002
TRACK 03 AUDIO
TRACK 04 AUDIO
  ISRC GBAYE6900004
)";

process_result report(const std::vector<std::string> &args) {
    std::vector<std::string> argv = {QSCAN_REPORT_EXE};
    argv.insert(argv.end(), args.begin(), args.end());
    return run_process(QSCAN_REPORT_EXE, argv);
}

// A described disc's raw scan, written as NAME.txt.
std::string scanned(const char *description, const std::string &name) {
    discgen_description disc;
    EXPECT_EQ(discgen_parse(description, &disc), "") << name;
    const std::string image =
        write_file(name + ".sub", discgen_image(discgen_frames(disc), true, disc.seed));
    const process_result out = run_qscan({"-r", "X:"}, image);
    return write_file(name + ".txt", std::vector<uint8_t>(out.out.begin(), out.out.end()));
}

// The disc's raw scan, once.
const std::string &scan() {
    static const std::string path = scanned(DISC, "master");
    return path;
}

struct sheet_row {
    std::string name;
    std::string sheet;                                      // "" the report's own --cue sheet
    std::vector<std::pair<std::string, std::string>> edits; // pattern, replacement
    int exit_status;
    json mismatches;
    std::vector<std::string> options = {};
};

json diff(json track, const char *field, json expected, json read, json index = nullptr) {
    return {{"track", track},
            {"field", field},
            {"index", index},
            {"expected", expected},
            {"read", read}};
}

std::vector<sheet_row> rows() {
    const std::string track5 = "  TRACK 05 AUDIO\n    INDEX 01 01:00:00\n";
    return {
        {"the round trip", "", {}, 0, json::array()},
        {"an ISRC",
         "",
         {{"GBAYE6900002", "GBAYE6900003"}},
         1,
         {diff(2, "isrc", "GBAYE6900003", "GBAYE6900002")}},
        {"a code where the disc has none",
         "",
         {{"TRACK 03 AUDIO\n", "TRACK 03 AUDIO\n    ISRC GBAYE6900003\n"}},
         1,
         {diff(3, "isrc", "GBAYE6900003", "none")}},
        {"the catalog number",
         "",
         {{"CATALOG 0724384960650", "CATALOG 4006381333931"}},
         1,
         {diff(nullptr, "catalog", "4006381333931", "0724384960650")}},
        {"a flag", "", {{"    FLAGS PRE\n", ""}}, 1, {diff(2, "flags", "none", "PRE")}},
        {"a start a frame late",
         "",
         {{"INDEX 01 00:50:00", "INDEX 01 00:50:01"}},
         1,
         {diff(4, "index", 3751, 3750, 1), diff(4, "pause", 151, 150)}},
        {"a start within --tolerance",
         "",
         {{"INDEX 01 00:50:00", "INDEX 01 00:50:01"}},
         0,
         json::array(),
         {"--tolerance", "1"}},
        {"an index the sheet lacks",
         "",
         {{"    INDEX 02 00:10:00\n", ""}},
         1,
         {diff(1, "index", nullptr, 750, 2)}},
        {"a pause",
         "",
         {{"INDEX 00 00:37:00", "INDEX 00 00:36:00"}},
         1,
         {diff(3, "index", 2700, 2775, 0), diff(3, "pause", 150, 75)}},
        {"a track too many", "", {{"$", track5}}, 1, {diff(nullptr, "tracks", 5, 4)}},
        {"a track too few", "", {{"  TRACK 04...", ""}}, 1, {diff(nullptr, "tracks", 3, 4)}},
        // An Enhanced CD's data session lies past the audio session's
        // lead-out, where a scan ends.
        {"a data track past the scan",
         "",
         {{"$", "  TRACK 05 MODE1/2352\n    INDEX 01 01:00:00\n"}},
         0,
         json::array()},
        {"lowercase keywords, and SCMS, which the Q channel does not carry",
         "",
         {{"FLAGS PRE", "flags PRE SCMS"}, {"TRACK 01 AUDIO", "track 01 audio"}},
         0,
         json::array()},
        {"an audio track after a data track is no second session",
         "",
         {{"$", "  TRACK 05 MODE1/2352\n    INDEX 01 01:00:00\n" + track5.substr(0, 9) +
                    "6 AUDIO\n    INDEX 01 01:10:00\n"}},
         1,
         {diff(nullptr, "tracks", 6, 4)}},
        {"a track without a code said to be data",
         "",
         {{"TRACK 03 AUDIO", "TRACK 03 MODE1/2352"}},
         1,
         {diff(3, "type", "data", "audio")}},
        {"a track with a code and a flag said to be data",
         "",
         {{"TRACK 02 AUDIO", "TRACK 02 MODE1/2352"}},
         1,
         {diff(2, "type", "data", "audio")}},
        {"a file per track", PER_TRACK, {}, 0, json::array()},
        {"a file per track, a track a frame long",
         PER_TRACK,
         {{"INDEX 00 00:15:00", "INDEX 00 00:15:01"}},
         1,
         {diff(3, "index", 1126, 1125, 0)}},
        // Track 1's pause lies before LBA 0, where no scan reads: not a
        // difference.
        {"one file holding track 1's pause", WITH_LEAD_IN, {}, 0, json::array()},
        {"a code list", CODE_LIST, {}, 0, json::array()},
        // Flags have no position: a list compares those it gives.
        {"a code list, a flag on the wrong track",
         CODE_LIST,
         {{"TRACK 01 AUDIO\n", "TRACK 01 AUDIO\n  FLAGS PRE\n"}},
         1,
         {diff(1, "flags", "PRE", "none")}},
        // A ripper's data track past the scan, with only INDEX 00: where the
        // audio ends, at the lead-out the scan read.
        {"a data track past the scan, its INDEX 00 at the audio's end",
         "",
         {{"$", "  TRACK 05 MODE1/2352\n    INDEX 00 01:00:00\n"}},
         0,
         json::array()},
        {"a data track past the scan, its INDEX 00 a second early",
         "",
         {{"$", "  TRACK 05 MODE1/2352\n    INDEX 00 00:59:00\n"}},
         1,
         {diff(5, "index", 4425, 4500, 0)}},
        // Gaps given as PREGAP are no gaps left out: the pauses are compared.
        {"a file per track, its pauses as PREGAP, one wrong",
         PER_TRACK,
         {{"    INDEX 00 00:20:00\n", "    PREGAP 00:02:00\n"},
          {"    INDEX 00 00:15:00\n", "    PREGAP 00:02:00\n"},
          {"    INDEX 00 00:10:00\n", "    PREGAP 00:02:00\n"}},
         1,
         {diff(3, "pause", 150, 75)}},
        {"a code list, a code wrong",
         CODE_LIST,
         {{"GBAYE6900004", "GBAYE6900005"}},
         1,
         {diff(4, "isrc", "GBAYE6900005", "GBAYE6900004")}},
    };
}

// Every occurrence of from replaced; "$" appends, and "FROM..." cuts the
// sheet from FROM to its end.
std::string edit(std::string sheet, const std::string &from, const std::string &to) {
    if (from == "$") {
        return sheet + to;
    }
    if (from.ends_with("...")) {
        const size_t at = sheet.find(from.substr(0, from.size() - 3));
        return at == std::string::npos ? sheet : sheet.substr(0, at) + to;
    }
    for (size_t at = sheet.find(from); at != std::string::npos; at = sheet.find(from, at)) {
        sheet.replace(at, from.size(), to);
        at += to.size();
    }
    return sheet;
}

std::string edited(const sheet_row &row) {
    std::string sheet = row.sheet;
    if (sheet.empty()) {
        const process_result cue = report({"--cue", scan()});
        EXPECT_NE(cue.exit_status, 2) << cue.err;
        sheet = cue.out;
    }
    for (const auto &[pattern, replacement] : row.edits) {
        const std::string before = sheet;
        sheet = edit(sheet, pattern, replacement);
        EXPECT_NE(sheet, before) << row.name << ": " << pattern << " edits nothing";
    }
    return sheet;
}

TEST(Expect, EachDifferenceFromTheMasterIsNamed) {
    for (const sheet_row &row : rows()) {
        const std::string sheet = edited(row);
        const std::string path = write_file("master.cue", {sheet.begin(), sheet.end()});
        std::vector<std::string> args = {"--json", "--expect", path};
        args.insert(args.end(), row.options.begin(), row.options.end());
        args.push_back(scan());
        const process_result out = report(args);
        ASSERT_EQ(out.exit_status, row.exit_status) << row.name << "\n" << sheet << out.out;
        const json expect = json::parse(out.out)["expect"];
        EXPECT_EQ(expect["mismatches"], row.mismatches) << row.name;
        EXPECT_EQ(expect["match"], row.mismatches.empty()) << row.name;

        // The text says the same, in a row a track and a last line.
        args.erase(args.begin());
        const process_result text = report(args);
        const std::string last = row.mismatches.empty()
                                     ? "the disc carries what " + path + " says"
                                     : std::to_string(row.mismatches.size()) + " difference";
        EXPECT_NE(text.out.find(last), std::string::npos) << row.name << "\n" << text.out;
    }
}

// Disc 2 of a set, tracks 13 to 15, against a sheet with the disc's own
// numbers: every index compared; index 01 of track 15 a frame late in the
// sheet is that track's difference, its position and its pause.
TEST(Expect, DiscTwoOfASetByItsOwnNumbers) {
    const std::string disc =
        scanned("isrc_every 50\nfirst_track 13\ntrack GBAYE6900013 length 0:20.00\n"
                "track GBAYE6900014 pregap 0:02.00 length 0:20.00\n"
                "track - pregap 0:02.00 length 0:20.00\nleadout 0:01.00\n",
                "second");
    const std::string sheet = "FILE \"disc2.wav\" WAVE\n  TRACK 13 AUDIO\n    ISRC GBAYE6900013\n"
                              "    INDEX 01 00:00:00\n  TRACK 14 AUDIO\n    ISRC GBAYE6900014\n"
                              "    INDEX 00 00:20:00\n    INDEX 01 00:22:00\n  TRACK 15 AUDIO\n"
                              "    INDEX 00 00:42:00\n    INDEX 01 00:44:00\n";
    const std::string late = sheet.substr(0, sheet.size() - 3) + "01\n";
    const struct {
        const char *name;
        std::string sheet;
        json mismatches;
    } rows[] = {
        {"as the disc numbers them", sheet, json::array()},
        {"track 15 a frame late",
         late,
         {diff(15, "index", 3301, 3300, 1), diff(15, "pause", 151, 150)}},
    };
    for (const auto &row : rows) {
        const std::string path = write_file("second.cue", {row.sheet.begin(), row.sheet.end()});
        const json r = json::parse(report({"--json", "--expect", path, disc}).out);
        EXPECT_EQ(r["expect"]["mismatches"], row.mismatches) << row.name;
    }
}

// Windows PowerShell 5.1 writes `qscan-report --cue scan.txt > master.cue`
// as UTF-16LE with a byte-order mark, as it does qscan's output, which is
// read; the sheet must be read too, and so must one with a UTF-8 mark and
// CRLF line ends.
TEST(Expect, TheReportsOwnSheetInEachEncodingWindowsWrites) {
    const process_result cue = report({"--cue", scan()});
    ASSERT_NE(cue.exit_status, 2) << cue.err;
    std::string crlf;
    for (const char c : cue.out) {
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    std::vector<uint8_t> utf16 = {0xFF, 0xFE};
    for (const char c : crlf) {
        utf16.push_back(static_cast<uint8_t>(c));
        utf16.push_back(0);
    }
    const struct {
        const char *name;
        std::vector<uint8_t> bytes;
    } rows[] = {
        {"UTF-8 with a mark and CRLF",
         [&] {
             const std::string marked = "\xEF\xBB\xBF" + crlf;
             return std::vector<uint8_t>(marked.begin(), marked.end());
         }()},
        {"UTF-16LE with a mark, as PowerShell 5.1 writes", utf16},
    };
    for (const auto &row : rows) {
        const std::string path = write_file("encoded.cue", row.bytes);
        const process_result out = report({"--expect", path, scan()});
        EXPECT_EQ(out.exit_status, 0) << row.name << "\n" << out.err << out.out;
    }
}

// Where damage hides a boundary (uncertain_boundary names the range), the
// master's position inside that range is no difference, and a track that
// could not be read has no start to be off by.
TEST(Expect, WhatDamageHidesIsNoDifference) {
    const std::string output = scanned("isrc_every 20\n"
                                       "track GBAYE6900001 length 0:20.00\n"
                                       "track GBAYE6900002 pregap 0:02.00 length 0:10.00\n"
                                       "track GBAYE6900003 pregap 0:02.00 length 0:20.00\n"
                                       "leadout 0:02.00\n"
                                       "at 1400-2400 crc_error\n",
                                       "hidden");
    const std::string sheet = "FILE \"x.wav\" WAVE\n"
                              "  TRACK 01 AUDIO\n    ISRC GBAYE6900001\n    INDEX 01 00:00:00\n"
                              "  TRACK 02 AUDIO\n    ISRC GBAYE6900002\n"
                              "    INDEX 00 00:20:00\n    INDEX 01 00:22:00\n"
                              "  TRACK 03 AUDIO\n    ISRC GBAYE6900003\n"
                              "    INDEX 00 00:32:00\n    INDEX 01 00:34:00\n";
    const std::string path = write_file("hidden.cue", {sheet.begin(), sheet.end()});
    const process_result out = report({"--json", "--expect", path, output});
    const json expect = json::parse(out.out)["expect"];
    for (const json &m : expect["mismatches"]) {
        EXPECT_NE(m["track"], 3) << "track 3's pause begins in the damage: " << m.dump();
    }
    const process_result text = report({"--expect", path, output});
    const std::string track2_row = "\n    2  GB-AYE-69-00002  unknown";
    const size_t at = text.out.find(track2_row);
    ASSERT_NE(at, std::string::npos) << text.out;
    std::string start;
    std::istringstream(text.out.substr(at + track2_row.size())) >> start;
    EXPECT_EQ(start, "-") << "an unread track's start offset\n" << text.out;
}

TEST(Expect, ASheetThatCannotBeReadIsNamedByLine) {
    const std::string sheet = "TRACK 01 AUDIO\n  INDEX 01 00:61:00\n";
    const std::string path = write_file("unreadable.cue", {sheet.begin(), sheet.end()});
    const process_result out = report({"--expect", path, scan()});
    EXPECT_EQ(out.exit_status, 2);
    EXPECT_NE(out.err.find(path + ":2"), std::string::npos) << out.err;
    EXPECT_EQ(out.out, "");
    EXPECT_EQ(report({"--expect", scratch_path("absent.cue"), scan()}).exit_status, 2);
}

// A second valid catalog number on more than a few frames leaves the disc's
// in doubt: it does not match the sheet's, even where the majority does.
TEST(Expect, ACatalogNumberWithARivalIsNoMatch) {
    const std::string output = scanned("mcn 0724384960650\nmcn_every 50\nisrc_every 20\n"
                                       "track GBAYE6900001 length 0:20.00\nleadout 0:02.00\n"
                                       "at 700-710 mcn 4006381333931\n",
                                       "rival");
    const std::string sheet = "CATALOG 0724384960650\nTRACK 01 AUDIO\n  ISRC GBAYE6900001\n";
    const std::string path = write_file("rival.cue", {sheet.begin(), sheet.end()});
    const json expect = json::parse(report({"--json", "--expect", path, output}).out)["expect"];
    EXPECT_EQ(expect["mismatches"],
              json::array({diff(nullptr, "catalog", "0724384960650", "ambiguous")}));
}

} // namespace
