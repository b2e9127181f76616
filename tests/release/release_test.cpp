// What a release hands a user: the tree `cmake --install` writes on Linux,
// and the Windows zip with the qscan.exe inside it running under Wine.
#include "support/images.h"
#include "support/process.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace {

namespace fs = std::filesystem;

// Every file under folder, as paths relative to it.
std::set<std::string> files_under(const fs::path &folder) {
    std::set<std::string> files;
    for (const fs::directory_entry &entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_directory()) {
            files.insert(fs::relative(entry.path(), folder).string());
        }
    }
    return files;
}

std::string slurp(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(Release, InstallTree) {
    const fs::path prefix = scratch_path("install");
    fs::remove_all(prefix);
    const process_result install = run_process(
        QSCAN_CMAKE, {QSCAN_CMAKE, "--install", QSCAN_BUILD_DIR, "--prefix", prefix.string()});
    ASSERT_EQ(install.exit_status, 0) << install.out << install.err;
    // The development tools stay out unless asked for; manual pages and the
    // changelog gzipped as Debian has them, the licence in the copyright file.
    EXPECT_EQ(
        files_under(prefix),
        (std::set<std::string>{"bin/qscan", "bin/qscan-report", "share/doc/qscan/README.md",
                               "share/doc/qscan/changelog.gz", "share/doc/qscan/copyright",
                               "share/doc/qscan/qscan-report.schema.json",
                               "share/man/man1/qscan.1.gz", "share/man/man1/qscan-report.1.gz"}));
    EXPECT_NE(slurp(prefix / "share/doc/qscan/copyright").find("License: Expat\n Permission is"),
              std::string::npos);
    // A user's README: how to scan a drive, no build folder, no missing image.
    const std::string readme = slurp(prefix / "share/doc/qscan/README.md");
    EXPECT_NE(readme.find("CDSIM_D=/dev/sr0 qscan -r D:"), std::string::npos);
    EXPECT_EQ(readme.find("build/"), std::string::npos);
    EXPECT_EQ(readme.find(".png"), std::string::npos);
    const process_result page =
        run_process("/bin/gzip", {"gzip", "-dc", (prefix / "share/man/man1/qscan.1.gz").string()});
    EXPECT_NE(page.out.find("\"qscan " QSCAN_VERSION "\""), std::string::npos);

    // The installed tool runs from where it was installed.
    const std::string qscan = (prefix / "bin/qscan").string();
    const process_result usage = run_process(qscan, {qscan});
    EXPECT_EQ(usage.out, "Usage: " + qscan + " [-r] [-p] [-t] [-c] [-i] [-e]  device\n");
    EXPECT_EQ(usage.exit_status, 1);
    const std::string report = (prefix / "bin/qscan-report").string();
    EXPECT_EQ(run_process(report, {report, "--version"}).out, "qscan-report " QSCAN_VERSION "\n");
}

TEST(Release, WindowsZip) {
    const std::string zip = QSCAN_WINDOWS_ZIP;
    if (zip.empty() || !fs::exists(zip)) {
        GTEST_SKIP() << "no 32-bit Windows build: needs g++-mingw-w64-i686-posix and wine64";
    }
    const fs::path folder = scratch_path("zip");
    fs::remove_all(folder);
    fs::create_directories(folder);
    const process_result unpacked =
        run_process("/bin/sh", {"sh", "-c", "cd \"$0\" && \"$1\" -E tar xf \"$2\"", folder.string(),
                                QSCAN_CMAKE, zip});
    ASSERT_EQ(unpacked.exit_status, 0) << unpacked.err;
    const std::string top = "qscan-" QSCAN_VERSION "-win32/";
    EXPECT_EQ(files_under(folder),
              (std::set<std::string>{top + "LICENSE", top + "README.txt", top + "qscan.exe",
                                     top + "qscan-report.exe", top + "qscan-report.schema.json"}));
    const std::string readme = slurp(folder / top / "README.txt");
    EXPECT_NE(readme.find("# qscan\r\n"), std::string::npos) << "Windows line ends";
    EXPECT_EQ(readme.find("\n\n"), std::string::npos) << "Windows line ends";

    const std::string wine_run = QSCAN_WINE_RUN32;
    if (wine_run.empty()) {
        GTEST_SKIP() << "the zip's qscan.exe is 32-bit: " << QSCAN_WINE32_MISSING;
    }
    if (!kernel_runs_32bit()) {
        GTEST_SKIP() << "the zip's qscan.exe is 32-bit: " << QSCAN_NO_32BIT_KERNEL;
    }
    const std::string exe = (folder / top / "qscan.exe").string();
    const process_result usage = run_process(wine_run, {wine_run, exe});
    EXPECT_NE(usage.out.find("qscan.exe [-r] [-p] [-t] [-c] [-i] [-e]  device\r\n"),
              std::string::npos)
        << usage.out << usage.err;
    EXPECT_EQ(usage.out.rfind("Usage: ", 0), 0u) << usage.out;
    EXPECT_EQ(usage.exit_status, 1);
}

} // namespace
