// qscan-report's output options: the FILE type a CUE sheet gives its image,
// and one output at a time on standard output.
#include "report/report_runs.h"

#include <gtest/gtest.h>

namespace {

const std::string &raw_scan() {
    static const std::string path =
        scan_described("options", "isrc_every 100\ntrack GBAYE6900001 length 0:10.00\n");
    return path;
}

TEST(ReportCommandLine, TheCueSheetsFileType) {
    const struct {
        const char *name, *type;
    } rows[] = {
        {"disc.bin", "BINARY"},  {"disc.wav", "WAVE"}, {"Disc.WAV", "WAVE"},
        {"disc.mp3", "MP3"},     {"disc.aif", "AIFF"}, {"disc.aiff", "AIFF"},
        {"disc.flac", "BINARY"}, {".wav", "BINARY"},   {"wav", "BINARY"},
    };
    for (const auto &row : rows) {
        const process_result r = run_report({"--cue", "--cue-file", row.name, raw_scan()});
        EXPECT_NE(r.out.find("FILE \"" + std::string(row.name) + "\" " + row.type + "\n"),
                  std::string::npos)
            << row.name << "\n"
            << r.out;
    }
}

TEST(ReportCommandLine, OneOutputOnStandardOutput) {
    const struct {
        const char *name;
        std::vector<std::string> args;
        int status;
        const char *starts; // standard output's first bytes, or standard error's on 2
    } rows[] = {
        {"the picture instead of the report", {"--svg", "-"}, 0, "<?xml"},
        {"the picture and JSON", {"--svg", "-", "--json"}, 2, "qscan-report: --svg - and --json"},
        {"the picture and a CUE sheet",
         {"--svg", "-", "--cue"},
         2,
         "qscan-report: --svg - and --cue"},
        {"JSON and a CUE sheet", {"--json", "--cue"}, 2, "--json excludes --cue"},
    };
    for (const auto &row : rows) {
        std::vector<std::string> args = row.args;
        args.push_back(raw_scan());
        const process_result r = run_report(args);
        EXPECT_EQ(r.exit_status, row.status) << row.name << ": " << r.err;
        const std::string &said = row.status == 2 ? r.err : r.out;
        EXPECT_EQ(said.substr(0, std::string(row.starts).size()), row.starts)
            << row.name << ": " << said;
    }
}

} // namespace
