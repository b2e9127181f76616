// Input as users hand it over: paths that are no readable file, lines that
// people and editors add or change, and bytes no JSON string can hold. None
// may end qscan-report unsaid.
#include "discgen.h"
#include "report/report_runs.h"
#include "support/images.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

std::string text_file(const std::string &name, const std::string &text) {
    return write_file(name, std::vector<uint8_t>(text.begin(), text.end()));
}

const std::string &raw_scan() {
    static const std::string path =
        scan_described("brittle", "isrc_every 100\ntrack GBAYE6900001 length 0:20.00\n"
                                  "track - pregap 0:02.00 length 0:20.00\n");
    return path;
}

// Each edit of a scan's text leaves its report as it was.
TEST(BrittleInput, LinesPeopleAndEditorsAdd) {
    const std::string scan = read_text(raw_scan());
    const std::string report = run_report({"--json", raw_scan()}).out;
    auto stripped = [](std::string text) { // the blank at each line's end
        for (size_t at = text.find(" \n"); at != std::string::npos; at = text.find(" \n", at)) {
            text.erase(at, 1);
        }
        return text;
    };
    const struct {
        const char *name;
        std::string text;
    } rows[] = {
        {"an empty line at the end", scan + "\n"},
        {"blank lines anywhere", "\n" + scan.substr(0, 3700) + "\n\r\n" + scan.substr(3700)},
        {"notes on the drive and the date",
         "# drive: PLEXTOR PX-716A\n# 2026-12-10\n" + scan + "# done\n"},
        {"trailing blanks stripped", stripped(scan)},
    };
    for (const auto &row : rows) {
        ASSERT_NE(row.text, scan) << row.name;
        const process_result r = run_report({"--json", text_file("edited.txt", row.text)});
        EXPECT_EQ(r.err, "") << row.name;
        // The same scan gives the same report, but for the file's name.
        EXPECT_EQ(without_file_names(r.out), without_file_names(report)) << row.name;
    }
}

TEST(BrittleInput, BytesNoJsonStringHolds) {
    const std::string sheet =
        read_text(text_file("own.cue", run_report({"--cue", raw_scan()}).out));
    const process_result r =
        run_report({"--json", "--expect", text_file("\xff\xfe.cue", sheet), raw_scan()});
    EXPECT_EQ(r.signal, 0);
    ASSERT_EQ(r.exit_status, 0) << r.err;
    const nlohmann::json j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["expect"]["match"], true);
    EXPECT_NE(j["expect"]["file"].get<std::string>().find("\xef\xbf\xbd"), std::string::npos);
}

// A path that is no readable file, a file of the wrong kind, a sheet's
// typo: refused, saying what went wrong so that the user can mend it.
TEST(BrittleInput, RefusedSayingWhatWentWrong) {
    const std::string folder = scratch_path("a folder");
    std::filesystem::create_directories(folder);
    const std::string missing = scratch_path("missing.txt");
    const std::string sub = scan_described("dump", "track - length 0:02.00\n", {"-r"});
    discgen_description d;
    ASSERT_EQ(discgen_parse("isrc_every 100\ntrack GBAYE6900001 length 0:04.00\n", &d), "");
    const std::vector<uint8_t> image = discgen_image(discgen_frames(d), true, 1);
    const std::string deinterleaved = write_file("dump.sub", image),
                      misnamed = write_file("dump.bin", image);
    auto sheet = [](const char *name, const std::string &text) { return text_file(name, text); };
    const struct {
        const char *name;
        std::vector<std::string> args;
        std::string message;
    } rows[] = {
        {"a folder as the scan", {folder}, folder + ": cannot be opened: Is a directory"},
        {"a folder as the sheet",
         {"--expect", folder, raw_scan()},
         folder + ": cannot be opened: Is a directory"},
        {"a missing scan", {missing}, missing + ": cannot be opened: No such file or directory"},
        {"a missing sheet",
         {"--expect", missing, raw_scan()},
         missing + ": cannot be opened: No such file or directory"},
        {"a missing dump",
         {scratch_path("missing.sub")},
         scratch_path("missing.sub") + ": cannot be opened: No such file or directory"},
        {"a folder as the dump",
         {"--raw-pw", folder},
         folder + ": cannot be opened: Is a directory"},
        {"a dump not named .sub",
         {misnamed},
         misnamed + ": looks like a sub-channel dump, not qscan's output: a deinterleaved dump "
                    "is read when its name ends in .sub, a raw interleaved one with --raw-pw"},
        {"a deinterleaved dump given as raw P-W",
         {"--raw-pw", deinterleaved},
         deinterleaved + ": looks deinterleaved (each channel's 12 bytes in turn, as .sub files "
                         "hold it), not raw interleaved P-W: leave out --raw-pw, and name it .sub"},
        {"a control byte in a keyword",
         {"--expect",
          sheet("control.cue", "FILE \"a\" WAVE\n  TRACK 01 AUDIO\n    FL\x1b"
                               "AGS DCP\n"),
          sub},
         scratch_path("control.cue") + ":3: no CUE keyword: FL\\x1bAGS"},
        {"a mistyped keyword before the first TRACK",
         {"--expect", sheet("typo.cue", "CATALOGG 0724384960650\n"), sub},
         scratch_path("typo.cue") + ":1: no CUE keyword: CATALOGG"},
        {"a track's keyword before the first TRACK, as written",
         {"--expect", sheet("early.cue", "isrc GBAYE6900001\n"), sub},
         scratch_path("early.cue") + ":1: isrc before any TRACK"},
    };
    for (const auto &row : rows) {
        const process_result r = run_report(row.args);
        EXPECT_EQ(r.exit_status, 2) << row.name;
        EXPECT_EQ(r.err, "qscan-report: " + row.message + "\n") << row.name;
    }
}

} // namespace
