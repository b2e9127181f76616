// The Windows builds of qscan run under Wine, through Wine's own
// GetDriveTypeA, CreateFileA and DeviceIoControl: the 32-bit one (the real
// target) under 32-bit Wine in a win32 prefix, the 64-bit one under wine64.
// In each prefix D: is a CD-ROM drive whose device node, dosdevices/d::, is
// pointed at a disc image; the preloaded sgio_cdsim library answers Wine's
// SG_IO requests from it. Every case must print what the native build prints.
#include "discgen.h"
#include "report/report_runs.h"
#include "support/images.h"
#include "support/process.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/file.h>
#include <unistd.h>

namespace {

struct windows_build {
    const char *name;
    std::string wine_run; // "" when this build cannot run here
    std::string exe;
    const char *missing; // why, then
    bool is_32bit;
};

void PrintTo(const windows_build &build, std::ostream *out) {
    *out << build.name;
}

std::string without_carriage_returns(std::string text) {
    std::erase(text, '\r');
    return text;
}

class UnderWine : public ::testing::TestWithParam<windows_build> {
  protected:
    void SetUp() override {
        const windows_build &build = GetParam();
        if (build.wine_run.empty() || !std::filesystem::exists(build.exe)) {
            GTEST_SKIP() << "the " << build.name
                         << " Windows build cannot run here: " << build.missing;
        }
        if (build.is_32bit && !kernel_runs_32bit()) {
            GTEST_SKIP() << "the " << build.name
                         << " Windows build cannot run here: " << QSCAN_NO_32BIT_KERNEL;
        }
        wine_run = build.wine_run;
        windows_exe = build.exe;
        wine_prefix = wine_run + "-prefix";
        // One case at a time may point drive D: at its image.
        lock = open((wine_prefix + ".drive-lock").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0644);
        ASSERT_GE(lock, 0);
        ASSERT_EQ(flock(lock, LOCK_EX), 0);
    }
    void TearDown() override {
        if (lock >= 0) {
            close(lock);
        }
    }

    // qscan.exe with drive D: holding image ("" for a drive without a disc),
    // its line ends made Unix ones unless asked to keep them.
    process_result run_windows(const std::vector<std::string> &options, const std::string &image,
                               bool keep_line_ends = false) {
        // The first run makes the prefix, so the device node is set up after it.
        const std::string ready = wine_prefix + "/.qscan-ready";
        if (!std::filesystem::exists(ready)) {
            EXPECT_EQ(
                run_process(wine_run, {wine_run, "cmd", "/c", "exit"}, {{"HOME", wine_prefix}})
                    .exit_status,
                0);
        }
        const std::string node = wine_prefix + "/dosdevices/d::";
        std::filesystem::remove(node);
        std::filesystem::create_symlink(image.empty() ? "/dev/null" : image, node);
        std::vector<std::string> args = {wine_run, windows_exe};
        args.insert(args.end(), options.begin(), options.end());
        process_result result = run_process(
            wine_run, args, {{"LD_PRELOAD", QSCAN_SGIO_PRELOAD}, {"HOME", wine_prefix}});
        if (keep_line_ends) {
            return result;
        }
        result.out = without_carriage_returns(result.out);
        result.err = without_carriage_returns(result.err);
        return result;
    }

    // The same scan by the native build on drive X:.
    static process_result run_native(std::vector<std::string> options, const std::string &image) {
        if (!options.empty() && options.back() == "D:") {
            options.back() = "X:";
        }
        return run_qscan(options, image);
    }

    void expect_same_as_native(const std::vector<std::string> &options, const std::string &image) {
        const process_result windows = run_windows(options, image);
        const process_result native = run_native(options, image);
        // An answerer that Wine bypasses leaves a scan that prints nothing.
        ASSERT_NE(native.out, "") << "a comparison that cannot tell a bypass";
        std::string shown;
        for (const std::string &option : options) {
            shown += " " + option;
        }
        EXPECT_EQ(windows.out, native.out) << shown << " on " << image;
        EXPECT_EQ(windows.err, native.err) << shown << " on " << image;
        EXPECT_EQ(windows.exit_status, native.exit_status) << shown << " on " << image;
    }

    std::string wine_run, windows_exe, wine_prefix;
    int lock = -1;
};

INSTANTIATE_TEST_SUITE_P(
    , UnderWine,
    ::testing::Values(windows_build{"i686", QSCAN_WINE_RUN32, QSCAN_WINDOWS_I686_EXE,
                                    QSCAN_WINE32_MISSING, true},
                      windows_build{"x86_64", QSCAN_WINE_RUN, QSCAN_WINDOWS_X86_64_EXE,
                                    "needs g++-mingw-w64-x86-64-posix and wine64", false}),
    [](const ::testing::TestParamInfo<windows_build> &info) { return info.param.name; });

TEST_P(UnderWine, UsageErrors) {
    const std::string image = write_image("wine-usage.img", {q_position(1, 1, 0, 0, 0, 0, 2, 0)});
    for (const std::vector<std::string> &args : std::vector<std::vector<std::string>>{
             {}, {"-x", "D:"}, {"-R", "D:"}, {"-", "D:"}, {"D:", "-r"}, {"D:", "E:"}, {"-r"}}) {
        const process_result result = run_windows(args, image);
        // The program names itself by its own argv[0], a Windows path here.
        const std::string prefix = "Usage: ";
        const std::string suffix = "qscan.exe [-r] [-p] [-t] [-c] [-i] [-e]  device\n";
        EXPECT_EQ(result.out.substr(0, prefix.size()), prefix);
        ASSERT_GE(result.out.size(), suffix.size());
        EXPECT_EQ(result.out.substr(result.out.size() - suffix.size()), suffix);
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.exit_status, 1);
    }
}

TEST_P(UnderWine, OpenFailures) {
    const std::string image = write_image("wine-open.img", {q_position(1, 1, 0, 0, 0, 0, 2, 0)});
    // Q: is no drive, C: is a hard disk, the rest are not drive names.
    for (const std::string name : {"Q:", "C:", "D", "D:\\", ""}) {
        const process_result result = run_windows({"-r", name}, image);
        EXPECT_EQ(result.out, "") << "'" << name << "'";
        EXPECT_EQ(result.err, "failed to open device: Invalid argument\n") << "'" << name << "'";
        EXPECT_EQ(result.exit_status, 1) << "'" << name << "'";
    }
}

TEST_P(UnderWine, DriveWithoutADisc) {
    const process_result result = run_windows({"-r", "-p", "-e", "D:"}, "");
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.exit_status, 0);
}

TEST_P(UnderWine, WholeScansPrintWhatTheNativeBuildPrints) {
    for (const std::string &image : sample_disc_images("wine", "seed 9\ndamage 0.01\n")) {
        for (const std::vector<std::string> &options :
             std::vector<std::vector<std::string>>{{"D:"},
                                                   {"-c", "-i", "D:"},
                                                   {"-t", "D:"},
                                                   {"-r", "-p", "-t", "-c", "-i", "-e", "D:"}}) {
            expect_same_as_native(options, image);
        }
    }
}

TEST_P(UnderWine, WorkedExampleAndOddFrames) {
    q_bytes damaged = q_position(2, 1, 0, 10, 71, 3, 0, 71);
    damaged[11] ^= 0x01;
    const std::string image = write_image(
        "wine-odd.sub",
        {q_position(2, 1, 0, 10, 70, 3, 0, 70), damaged, q_recording("GBAYE6900123", 1),
         q_position(110, 1, 99, 59, 74, 99, 59, 74), q_sealed({0x05, 1, 2, 3, 4, 5, 6, 7, 8, 9}),
         q_sealed({0x01, 0x01, 0x01, 0x00, 0x60, 0x00, 0, 0, 0x02, 0}),
         q_catalog("0724384960650", 3)});
    expect_same_as_native({"-r", "-p", "-t", "-c", "-i", "-e", "D:"}, image);
    EXPECT_EQ(run_windows({"D:"}, image).out, " 2.01 00:11.01 03:01.01 : GB-AYE-69-00123\n");
}

#ifdef QSCAN_REPORT_EXE
// A redirected qscan.exe -r writes CRLF line ends: qscan-report reads them as
// the native scan's, and its own Windows build says the same.
TEST_P(UnderWine, TheReportReadsTheExecutablesOutput) {
    const std::string image = sample_disc_images("wine-report", "seed 4\ndamage 0.01\n")[0];
    const process_result scan = run_windows({"-r", "D:"}, image, true);
    ASSERT_NE(scan.out.find("\r\n"), std::string::npos);
    const std::string crlf =
        write_file("wine-report.txt", std::vector<uint8_t>(scan.out.begin(), scan.out.end()));
    const std::string native_scan = run_native({"-r", "X:"}, image).out;
    const std::string lf = write_file("native-report.txt",
                                      std::vector<uint8_t>(native_scan.begin(), native_scan.end()));
    const process_result from_windows =
        run_process(QSCAN_REPORT_EXE, {QSCAN_REPORT_EXE, "--json", crlf});
    const process_result from_native =
        run_process(QSCAN_REPORT_EXE, {QSCAN_REPORT_EXE, "--json", lf});
    ASSERT_NE(from_native.out, "");
    // Only the scan's file name tells the two reports apart.
    EXPECT_EQ(without_file_names(from_windows.out), without_file_names(from_native.out));
    EXPECT_EQ(from_windows.exit_status, from_native.exit_status);

    const std::string windows_report =
        (std::filesystem::path(windows_exe).parent_path() / "qscan-report.exe").string();
    const process_result under_wine = run_process(
        wine_run, {wine_run, windows_report, "--json", "Z:" + crlf}, {{"HOME", wine_prefix}});
    const std::string wine_json = without_carriage_returns(under_wine.out);
    EXPECT_EQ(without_file_names(wine_json), without_file_names(from_native.out)) << under_wine.err;
    EXPECT_EQ(nlohmann::json::parse(wine_json, nullptr, false)["scans"][0]["files"][0],
              "Z:" + crlf);
    EXPECT_EQ(under_wine.exit_status, from_native.exit_status);
}

// File names in any script reach qscan-report.exe whole, through the UTF-8
// code page its manifest asks for: the scan, the master's sheet, the picture
// and the CUE sheet's FILE, and the name in a message.
TEST_P(UnderWine, FileNamesInAnyScript) {
    const std::string image = sample_disc_images("wine-names", "").front();
    const std::string scan = run_native({"-r", "X:"}, image).out;
    const std::string windows_report =
        (std::filesystem::path(windows_exe).parent_path() / "qscan-report.exe").string();
    for (const std::string name : {"диск", "光盘"}) {
        const std::string text =
            write_file(name + ".txt", std::vector<uint8_t>(scan.begin(), scan.end()));
        const std::string cue = run_process(QSCAN_REPORT_EXE, {QSCAN_REPORT_EXE, "--cue",
                                                               "--cue-file", name + ".wav", text})
                                    .out;
        ASSERT_NE(cue.find("FILE \"" + name + ".wav\" WAVE"), std::string::npos) << cue;
        const std::string sheet =
            write_file(name + "-мастер.cue", std::vector<uint8_t>(cue.begin(), cue.end()));
        const std::string svg = scratch_path(name + "-рисунок.svg");
        std::filesystem::remove(svg);
        // Wine names Unix files in the locale's encoding, as a desktop's is.
        auto under_wine = [&](std::vector<std::string> args) {
            args.insert(args.begin(), {wine_run, windows_report});
            return run_process(wine_run, args, {{"HOME", wine_prefix}, {"LC_ALL", "C.UTF-8"}});
        };
        const process_result report =
            under_wine({"--json", "--expect", "Z:" + sheet, "--svg", "Z:" + svg, "Z:" + text});
        EXPECT_EQ(report.err, "") << name;
        ASSERT_NE(report.out, "") << name;
        EXPECT_EQ(nlohmann::json::parse(report.out)["expect"]["match"], true) << name;
        EXPECT_EQ(read_text(svg).rfind("<?xml", 0), 0u) << name;
        EXPECT_EQ(without_carriage_returns(
                      under_wine({"--cue", "--cue-file", name + ".wav", "Z:" + text}).out),
                  cue)
            << name;
        const process_result missing = under_wine({"Z:" + text + ".gone"});
        EXPECT_NE(missing.err.find(name + ".txt.gone: cannot be opened"), std::string::npos)
            << missing.err;
        EXPECT_EQ(missing.exit_status, 2) << name;
    }
}

// The Windows qscan-report.exe reads a dump in binary: a .sub and raw P-W
// give the native report of the scan.
TEST_P(UnderWine, TheReportReadsADump) {
    const std::vector<std::string> images = sample_disc_images("wine-dump", "seed 6\n");
    const std::string scan = run_native({"-r", "X:"}, images[0]).out;
    const process_result native =
        run_process(QSCAN_REPORT_EXE,
                    {QSCAN_REPORT_EXE, "--json",
                     write_file("wine-dump.txt", std::vector<uint8_t>(scan.begin(), scan.end()))});
    ASSERT_NE(native.out, "");
    const std::string windows_report =
        (std::filesystem::path(windows_exe).parent_path() / "qscan-report.exe").string();
    for (const std::vector<std::string> &dump :
         {std::vector<std::string>{"Z:" + images[0]}, {"--raw-pw", "Z:" + images[1]}}) {
        std::vector<std::string> args = {wine_run, windows_report, "--json"};
        args.insert(args.end(), dump.begin(), dump.end());
        const process_result under_wine = run_process(wine_run, args, {{"HOME", wine_prefix}});
        EXPECT_EQ(without_file_names(without_carriage_returns(under_wine.out)),
                  without_file_names(native.out))
            << dump.back() << under_wine.err;
        EXPECT_EQ(under_wine.exit_status, native.exit_status) << dump.back();
    }
}
#endif

} // namespace
