#include "scan/scan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct parse_row {
    const char *name;
    std::vector<std::string> args; // after the program name
    bool usage_error;
    const char *flags; // letters of the flags set: r p t c i e
};

std::string flags_of(const scan_options &options) {
    std::string letters;
    if (options.opt_raw)
        letters += 'r';
    if (options.opt_print)
        letters += 'p';
    if (options.opt_timing)
        letters += 't';
    if (options.opt_catalog)
        letters += 'c';
    if (options.opt_isrc)
        letters += 'i';
    if (options.opt_errors)
        letters += 'e';
    return letters;
}

TEST(CommandLine, OptionsDriveNameAndUsageErrors) {
    const parse_row rows[] = {
        {"no arguments", {}, true, ""},
        {"drive alone: ISRC lines by default", {"X:"}, false, "i"},
        {"any option turns the default off", {"-r", "X:"}, false, "r"},
        {"only the second character counts", {"-ri", "X:"}, false, "r"},
        {"a long word is its first letter", {"-print", "X:"}, false, "p"},
        {"every option", {"-r", "-p", "-t", "-c", "-i", "-e", "X:"}, false, "rptcie"},
        {"an option twice", {"-r", "-r", "X:"}, false, "r"},
        {"-i given explicitly", {"-i", "X:"}, false, "i"},
        {"unknown letter", {"-x", "X:"}, true, ""},
        {"upper-case letter", {"-R", "X:"}, true, ""},
        {"bare dash", {"-", "X:"}, true, ""},
        {"option after the drive", {"X:", "-r"}, true, ""},
        {"two drives", {"X:", "Y:"}, true, ""},
        {"options but no drive", {"-r"}, true, ""},
        {"a bad option after a good one", {"-r", "-q", "X:"}, true, ""},
        {"empty argument is a drive name", {""}, false, "i"},
    };
    for (const parse_row &row : rows) {
        std::vector<std::string> storage = {"qscan"};
        storage.insert(storage.end(), row.args.begin(), row.args.end());
        std::vector<char *> argv;
        for (std::string &arg : storage) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        scan_options options;
        const int status =
            scan_parse_command_line(static_cast<int>(storage.size()), argv.data(), &options);
        EXPECT_EQ(status, row.usage_error ? SCAN_USAGE_ERROR : 0) << row.name;
        if (!row.usage_error) {
            EXPECT_EQ(flags_of(options), row.flags) << row.name;
            EXPECT_EQ(std::string(options.device_name), row.args.back()) << row.name;
        }
    }
}

TEST(CommandLine, UsageNamesTheProgramEvenWithoutArgv0) {
    char program[] = "/usr/bin/qscan";
    char *argv[] = {program, nullptr};
    testing::internal::CaptureStdout();
    scan_print_usage(1, argv);
    char *no_argv[] = {nullptr};
    scan_print_usage(0, no_argv);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Usage: /usr/bin/qscan [-r] [-p] [-t] [-c] [-i] [-e]  device\n"
              "Usage: qscan [-r] [-p] [-t] [-c] [-i] [-e]  device\n");
}

} // namespace
