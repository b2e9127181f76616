// qscan-report [--json | --cue [--cue-file NAME]] [--svg FILE]
//              [--expect SHEET [--tolerance FRAMES]] [FILE...]
// qscan-report [...] [--raw-pw] [--first-lba N] DUMP
//
// Reads qscan's output and says which ISRC each track carries, whether the
// codes and the drive can be trusted. Exit status: 0 no findings, 1
// findings, 2 a usage error, input it cannot read or output it cannot write.
#include "report/combine.h"
#include "report/dump_input.h"
#include "report/expect.h"
#include "report/findings.h"
#include "report/input.h"
#include "report/writers.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <sstream>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#define stderr_is_terminal() _isatty(_fileno(stderr))
#else
#include <unistd.h>
#define stderr_is_terminal() isatty(STDERR_FILENO)
#endif

namespace {

constexpr int EXIT_FINDINGS = 1;
constexpr int EXIT_UNREADABLE = 2;

// One status line on a terminal's standard error, redrawn a few times a
// second while a live scan comes in.
class progress_line {
  public:
    explicit progress_line(const report::scan_set &scans)
        : scans_(scans), shown_(stderr_is_terminal() != 0),
          start_(std::chrono::steady_clock::now()), last_(start_) {}

    void update() {
        if (!shown_) {
            return;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now - last_ < std::chrono::milliseconds(250)) {
            return;
        }
        last_ = now;
        const report::scan_set::progress reading = scans_.current();
        const double seconds = std::chrono::duration<double>(now - start_).count();
        const uint64_t sectors = reading.sectors;
        std::fprintf(stderr, "\r%-79s\r", "");
        std::fprintf(stderr, "scan %zu: %llu sectors (%s), track %d, %zu ISRCs, %.0f sectors/s",
                     scans_.count(), static_cast<unsigned long long>(sectors),
                     report::duration(sectors).c_str(), reading.track, reading.isrcs,
                     seconds > 0 ? sectors / seconds : 0.0);
        std::fflush(stderr);
        drawn_ = true;
    }

    void clear() {
        if (drawn_) {
            std::fprintf(stderr, "\r%-79s\r", "");
            std::fflush(stderr);
        }
    }

  private:
    const report::scan_set &scans_;
    bool shown_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point start_, last_;
};

// A file named on the command line, opened to be read; nullptr, with why,
// where it cannot be: a folder, a file without read permission.
FILE *open_input(const std::string &name, std::string &why) {
    std::error_code ignored;
    if (std::filesystem::is_directory(name, ignored)) {
        why = name + ": cannot be opened: " + std::strerror(EISDIR);
        return nullptr;
    }
    FILE *file = std::fopen(name.c_str(), "rb");
    if (file == nullptr) {
        why = name + ": cannot be opened: " + std::strerror(errno);
    }
    return file;
}

// Bytes that no text qscan writes holds, in any encoding, in the file's
// first block: a sub-channel dump named as if it were qscan's output. A pipe
// (a FIFO, <(...)) cannot go back to its start: it is not looked into.
bool looks_binary(FILE *file) {
    if (std::fseek(file, 0, SEEK_SET) != 0) {
        return false;
    }
    unsigned char head[4096];
    const size_t got = std::fread(head, 1, sizeof head, file);
    std::rewind(file);
    const bool bom = (got >= 2 && ((head[0] == 0xFF && head[1] == 0xFE) ||
                                   (head[0] == 0xFE && head[1] == 0xFF))) ||
                     (got >= 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF);
    return !bom && std::any_of(head, head + got, [](unsigned char c) {
        return c < 0x20 && c != '\t' && c != '\n' && c != '\r';
    });
}

// What a run of text files gave when it gave no line.
std::string nothing_read(bool truncated) {
    return truncated ? "the input ends inside its first line: nothing came in to report on"
                     : "the drive returned nothing: its first read failed (no disc, or a drive "
                       "that refuses raw P-W sub-channel reads); without -r, qscan also prints "
                       "nothing for a disc without ISRCs";
}

// The report or the picture on standard output; false, with a message, when
// it cannot be written (a full disk, a closed pipe).
bool print(const std::string &text) {
    std::cout << text;
    std::cout.flush();
    if (std::cout) {
        return true;
    }
    const int error = errno;
    std::cerr << "qscan-report: standard output cannot be written"
              << (error != 0 ? std::string(": ") + std::strerror(error) : "") << "\n";
    return false;
}

// What the command line asks to be written.
struct output {
    bool json = false, cue = false;
    std::string cue_file = "disc.bin", svg_file;
};

// The picture, then the report or CUE sheet asked for; the exit status.
int write_output(const report::disc_report &result, const output &asked) {
    if (!asked.svg_file.empty()) {
        if (!result.from_raw) {
            std::cerr << "qscan-report: a picture needs the raw lines of qscan -r\n";
            return EXIT_UNREADABLE;
        }
        const std::string picture = report::svg_picture(result);
        if (asked.svg_file == "-") {
            return !print(picture) ? EXIT_UNREADABLE : result.findings.empty() ? 0 : EXIT_FINDINGS;
        }
        FILE *out = std::fopen(asked.svg_file.c_str(), "wb");
        const bool written =
            out != nullptr && std::fwrite(picture.data(), 1, picture.size(), out) == picture.size();
        if (out == nullptr || std::fclose(out) != 0 || !written) {
            std::cerr << "qscan-report: " << asked.svg_file
                      << ": cannot be written: " << std::strerror(errno) << "\n";
            return EXIT_UNREADABLE;
        }
    }
    if (asked.cue) {
        const std::string sheet = report::cue_sheet(result, asked.cue_file);
        if (sheet.empty()) {
            std::cerr << "qscan-report: " << report::cue_refusal(result) << "\n";
            return EXIT_UNREADABLE;
        }
        if (!print(sheet)) {
            return EXIT_UNREADABLE;
        }
    } else if (!print(asked.json ? report::json_report(result) : report::text_report(result))) {
        return EXIT_UNREADABLE;
    }
    return result.findings.empty() ? 0 : EXIT_FINDINGS;
}

// What the command line says of a master's CUE sheet.
struct expect_options {
    std::string file;
    int64_t tolerance = 0;
};

void add_expect_options(CLI::App &app, expect_options &expect) {
    auto *sheet =
        app.add_option("--expect", expect.file, "compare the disc with its master's CUE sheet")
            ->type_name("SHEET");
    app.add_option("--tolerance", expect.tolerance, "positions may differ by FRAMES (0)")
        ->type_name("FRAMES")
        ->check(CLI::Validator(CLI::Range(int64_t{0}, int64_t{450000})).description(""))
        ->needs(sheet);
}

// The master's CUE sheet --expect names; "" or what is wrong with it.
std::string read_master(const std::string &name, report::master_sheet *sheet) {
    std::string why;
    FILE *file = open_input(name, why);
    if (file == nullptr) {
        return why;
    }
    std::string bytes;
    char chunk[4096];
    for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) {
        bytes.append(chunk, got);
    }
    const bool failed = std::ferror(file) != 0;
    const int error = errno;
    std::fclose(file);
    if (failed) {
        return name + ": cannot be read: " + std::strerror(error);
    }
    std::istringstream in(bytes);
    return report::read_master_sheet(in, name, sheet);
}

// What the command line says of a sub-channel dump.
struct dump_options {
    bool raw_pw = false;
    int64_t first_lba = 0;
    CLI::Option *first_lba_given = nullptr;
};

// LBAs from the lead-in's first to the last a Q time can name (99:59.74).
constexpr int64_t FIRST_LBA_MIN = -45150, FIRST_LBA_MAX = 449849;

void add_dump_options(CLI::App &app, dump_options &dump) {
    app.add_flag("--raw-pw", dump.raw_pw, "FILE is a dump of raw interleaved P-W");
    dump.first_lba_given =
        app.add_option("--first-lba", dump.first_lba, "the LBA of a dump's first sector (0)")
            ->type_name("N")
            ->check(CLI::Range(FIRST_LBA_MIN, FIRST_LBA_MAX).description(""));
}

bool names_sub(const std::string &name) {
    if (name.size() < 4) {
        return false;
    }
    std::string end = name.substr(name.size() - 4);
    for (char &c : end) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return end == ".sub";
}

// Whether a dump read as raw interleaved P-W reads well deinterleaved.
bool reads_deinterleaved(const std::string &name, int64_t first_lba) {
    std::string why;
    FILE *file = open_input(name, why);
    if (file == nullptr) {
        return false;
    }
    report::analysis analysis(first_lba);
    const report::dump_result read = report::read_subchannel_dump(
        file, name, report::dump_layout::deinterleaved,
        [&](const uint8_t *q) { analysis.add_sector(q); }, [] {});
    std::fclose(file);
    return read.error.empty() && read.sectors > 0 && analysis.usable_q();
}

// A dump as a scan of its own, each record a sector; "" or what is wrong.
std::string read_dump(FILE *file, const std::string &name, report::dump_layout layout,
                      int64_t first_lba, report::scan_set &scans, progress_line &progress) {
    const bool standard_input = name == "-";
    const std::string shown = standard_input ? "(standard input)" : name;
#ifdef _WIN32
    if (standard_input) {
        _setmode(_fileno(stdin), _O_BINARY); // a CR LF pair is two bytes of a sector
    }
#endif
    const std::string error = scans.next_dump(shown, first_lba);
    if (!error.empty()) {
        return error;
    }
    const report::dump_result read = report::read_subchannel_dump(
        file, shown, layout, [&](const uint8_t *q) { scans.add_sector(q); },
        [&] { progress.update(); });
    if (!read.error.empty()) {
        return read.error;
    }
    if (read.sectors == 0) {
        return shown + ": not one whole sector of 96 bytes: nothing to report on";
    }
    // A .sub file given as raw P-W reads as noise: say which it is.
    if (layout == report::dump_layout::interleaved && !scans.usable_q() && !standard_input &&
        reads_deinterleaved(name, first_lba)) {
        return shown + ": looks deinterleaved (each channel's 12 bytes in turn, as .sub files "
                       "hold it), not raw interleaved P-W: leave out --raw-pw, and name it .sub";
    }
    if (read.stray_bytes > 0) {
        scans.add_finding({"truncated_input",
                           0,
                           {{"stray_bytes", static_cast<int64_t>(read.stray_bytes)},
                            {"sectors", static_cast<int64_t>(read.sectors)}}});
    }
    return "";
}

// Every file in order into the scans: text files that carry on one another
// are one scan, a text file that starts the disc again begins the next, and
// each dump is a scan of its own. "" or what is wrong; truncated: text
// ended inside a line.
std::string read_inputs(const std::vector<std::string> &files, const dump_options &dump,
                        report::scan_set &scans, bool &truncated) {
    progress_line progress(scans);
    std::optional<report::scan_reader> reader;
    auto end_text = [&]() -> std::string {
        if (!reader) {
            return "";
        }
        std::string error = reader->finish();
        truncated = truncated || reader->truncated();
        if (error.empty() && reader->lines() == 0) {
            error = nothing_read(reader->truncated());
        }
        reader.reset();
        return error;
    };
    std::string error;
    for (const std::string &name : files) {
        const bool standard_input = name == "-";
        FILE *file = standard_input ? stdin : open_input(name, error);
        if (file == nullptr) {
            break;
        }
        const bool binary = !standard_input && looks_binary(file);
        // --raw-pw says what a file of bytes holds, whatever its name.
        const std::optional<report::dump_layout> layout =
            dump.raw_pw && (binary || standard_input) ? report::dump_layout::interleaved
            : names_sub(name)                         ? report::dump_layout::deinterleaved
                                                      : std::optional<report::dump_layout>();
        if (layout) {
            error = end_text();
            error = error.empty() ? read_dump(file, name, *layout, dump.first_lba, scans, progress)
                                  : error;
        } else if (binary) {
            error = report::looks_like_a_dump(name);
        } else {
            if (!reader) {
                reader.emplace(scans, [&] { progress.update(); });
            }
            error = reader->read(file, standard_input ? "(standard input)" : name);
        }
        if (!standard_input) {
            std::fclose(file);
        }
        if (!error.empty()) {
            break;
        }
    }
    error = error.empty() ? end_text() : error;
    progress.clear();
    return error;
}

int run(int argc, char **argv) {
    // Every line of --help fits 80 columns; man qscan-report says the rest.
    CLI::App app{"Tells which ISRC each track of an audio CD carries, from qscan's output,\n"
                 "and whether the codes and the drive can be trusted.",
                 "qscan-report"};
    app.get_formatter()->column_width(22);
    std::vector<std::string> files;
    output asked;
    app.add_option("FILE", files, "qscan's output, ideally of -r; none or -: standard input")
        ->type_name("");
    dump_options dump;
    expect_options expect;
    auto *json_flag = app.add_flag("--json", asked.json, "print the report as JSON");
    auto *cue_flag = app.add_flag("--cue", asked.cue, "print a CUE sheet for an image of the disc");
    app.add_option("--cue-file", asked.cue_file, "the image the CUE sheet names (disc.bin)")
        ->type_name("NAME")
        ->needs(cue_flag);
    json_flag->excludes(cue_flag);
    app.add_option("--svg", asked.svg_file,
                   "also draw the disc into FILE (-: instead of the report)")
        ->type_name("FILE");
    add_dump_options(app, dump);
    add_expect_options(app, expect);
    app.set_version_flag("--version", std::string("qscan-report ") + QSCAN_VERSION);
    app.footer("FILEs that carry on where the last ended are one scan; a FILE that starts\n"
               "the disc again is the next scan of the same disc, and up to 16 scans are\n"
               "combined. --cue and --svg need raw lines; so do --expect's positions and\n"
               "flags. A FILE ending in .sub is a deinterleaved sub-channel dump, and with\n"
               "--raw-pw a FILE of bytes is raw interleaved P-W: each dump is a scan.\n"
               "Exit status: 0 a report without findings, 1 with findings, 2 a usage error,\n"
               "input that cannot be read or a report that cannot be written.");
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp &e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion &e) {
        return app.exit(e);
    } catch (const CLI::ParseError &e) {
        app.exit(e);
        return EXIT_UNREADABLE;
    }
    if (asked.svg_file == "-" && (asked.json || asked.cue)) {
        std::cerr << "qscan-report: --svg - and --" << (asked.json ? "json" : "cue")
                  << " both ask for standard output: send the picture to a file\n";
        return EXIT_UNREADABLE;
    }
    if (asked.cue_file.empty() || asked.cue_file.find_first_of("\"\r\n") != std::string::npos) {
        std::cerr << "qscan-report: --cue-file: a file name without quotes or line ends\n";
        return EXIT_UNREADABLE;
    }
#ifdef SIGPIPE
    // A reader that went away is a report that cannot be written: said, not
    // a silent death.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    if (files.empty()) {
        files.push_back("-");
    }
    report::master_sheet master;
    if (!expect.file.empty()) {
        const std::string wrong = read_master(expect.file, &master);
        if (!wrong.empty()) {
            std::cerr << "qscan-report: " << wrong << "\n";
            return EXIT_UNREADABLE;
        }
    }

    if (!dump.raw_pw && std::none_of(files.begin(), files.end(), names_sub) &&
        dump.first_lba_given->count() > 0) {
        std::cerr << "qscan-report: --first-lba: for a sub-channel dump (.sub, or --raw-pw) only\n";
        return EXIT_UNREADABLE;
    }
    report::scan_set scans(files.size() > 1);
    bool truncated = false;
    std::string error = read_inputs(files, dump, scans, truncated);
    std::vector<report::finished_scan> finished;
    report::disc_report result;
    if (error.empty()) {
        finished = scans.finish();
        error = report::combine_scans(finished, &result);
    }
    if (!error.empty()) {
        std::cerr << "qscan-report: " << error << "\n";
        return EXIT_UNREADABLE;
    }
    if (truncated) {
        result.findings.push_back({"truncated_input", 0});
    }
    if (!expect.file.empty()) {
        result.expect = report::compare_with_master(master, result, expect.tolerance, expect.file);
        report::expect_findings(result);
    }
    return write_output(result, asked);
}

} // namespace

int main(int argc, char **argv) {
    // Nothing a disc or a file holds may end the program unsaid.
    try {
        return run(argc, argv);
    } catch (const std::exception &e) {
        std::cerr << "qscan-report: " << e.what() << "\n";
    } catch (...) {
        std::cerr << "qscan-report: an unknown error\n";
    }
    return EXIT_UNREADABLE;
}
