// qscan-report's input and output as a user meets them: one scan in
// several files, a second scan, the encodings Windows writes, a scan cut
// short, and a report that cannot be written.
#include "discgen.h"
#include "report/report_runs.h"
#include "support/images.h"
#include "support/process.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace {

using nlohmann::json;

// Damage for -e lines; the drive's Q offset falls back by two sectors at
// 2000; the position frame at 3000 names a time long past.
const std::string disc = R"(mcn 0724384960650
mcn_every 97
isrc_every 100
damage 0.003
seed 11
track GBAYE6900123 length 0:20.00
track USRC17607839 pregap 0:02.00 length 0:20.00
q_offset 2
q_offset 0 from 2000
at 3000 abs 00:10.00
)";

std::string scanned(const std::vector<std::string> &options,
                    const std::string &description = disc) {
    discgen_description d;
    EXPECT_EQ(discgen_parse(description, &d), "");
    const std::string image =
        write_file("input.sub", discgen_image(discgen_frames(d), true, d.seed));
    std::vector<std::string> args = options;
    args.push_back("X:");
    return run_qscan(args, image).out;
}

std::string text_file(const std::string &name, const std::string &text) {
    return write_file(name, std::vector<uint8_t>(text.begin(), text.end()));
}

// The first count lines.
std::string head(const std::string &text, size_t count) {
    size_t at = 0;
    for (size_t i = 0; i < count; ++i) {
        at = text.find('\n', at) + 1;
    }
    return text.substr(0, at);
}

// qscan-report on a shell's command, "$0" naming it and "$1" the file.
process_result report_sh(const std::string &command, const std::string &file) {
    return run_process("/bin/sh", {"sh", "-c", command, QSCAN_REPORT_EXE, file});
}

TEST(Input, SeveralFilesMakeOneScanOnlyWhenEachCarriesOn) {
    const std::string raw = scanned({"-r"}), codes = scanned({"-c", "-i"}),
                      errors = scanned({"-e"}), all = scanned({"-r", "-p", "-t", "-c", "-i", "-e"}),
                      lagging = scanned({"-r"}, "track - length 0:20.00\nq_offset -20\n");
    const auto tail = [](const std::string &text, size_t count) {
        return text.substr(head(text, count).size());
    };
    std::string crlf;
    for (const char c : raw) {
        crlf += c == '\n' ? "\r\n" : std::string(1, c);
    }
    const std::string early = " 1.01 00:28.00 00:30.00 : GB-AYE-69-00123\n"
                              " 1.01 00:38.00 00:40.00 : GB-AYE-69-00123\n";
    const struct {
        const char *name;
        std::string first, second;
        bool second_scan;
    } rows[] = {
        {"raw, split inside a line", raw.substr(0, 1500 * 37 + 20), raw.substr(1500 * 37 + 20),
         false},
        {"CRLF, split inside a line", crlf.substr(0, 100 * 38 + 20), crlf.substr(100 * 38 + 20),
         false},
        {"raw, split where the Q offset falls back", head(raw, 2000), tail(raw, 2000), false},
        {"raw, a drive whose Q lags 20 sectors", head(lagging, 1000), tail(lagging, 1000), false},
        {"raw, the next file opens on a frame naming an earlier time", head(raw, 3000),
         tail(raw, 3000), false},
        {"every line, split inside a line", all.substr(0, all.size() / 2),
         all.substr(all.size() / 2), false},
        {"errors only, split between lines", head(errors, 2), tail(errors, 2), false},
        {"codes, a lone earlier position opens the next file", early,
         " 1.01 00:03.00 00:05.00 : GB-AYE-69-00123\n 1.01 00:39.00 00:41.00 : 0724384960650\n",
         false},
        {"codes, a lone later position ends the last file",
         early + " 1.01 08:58.00 09:00.00 : GB-AYE-69-00123\n",
         " 1.01 00:39.00 00:41.00 : 0724384960650\n 1.01 00:40.00 00:42.00 : 0724384960650\n",
         false},
        {"raw, a second scan", head(raw, 1500), raw, true},
        {"raw, a scan cut inside a line, then a second", raw.substr(0, 1500 * 37 + 20), raw, true},
        {"codes, a second scan", head(codes, 40), codes, true},
        {"errors only, a second scan", head(errors, 2), errors, true},
    };
    for (const auto &row : rows) {
        const std::string first = text_file("first.txt", row.first),
                          second = text_file("second.txt", row.second);
        const process_result two =
            run_process(QSCAN_REPORT_EXE, {QSCAN_REPORT_EXE, "--json", first, second});
        if (row.second_scan) {
            // The second file is a scan of its own, combined with the first.
            EXPECT_EQ(two.err, "") << row.name;
            const nlohmann::json j = nlohmann::json::parse(two.out, nullptr, false);
            ASSERT_FALSE(j.is_discarded()) << row.name;
            ASSERT_EQ(j["scans"].size(), 2u) << row.name;
            EXPECT_EQ(j["scans"][0]["files"], nlohmann::json::array({first})) << row.name;
            EXPECT_EQ(j["scans"][1]["files"], nlohmann::json::array({second})) << row.name;
            continue;
        }
        const process_result one =
            run_process(QSCAN_REPORT_EXE,
                        {QSCAN_REPORT_EXE, "--json", text_file("one.txt", row.first + row.second)});
        EXPECT_EQ(two.err + without_file_names(two.out) + std::to_string(two.exit_status),
                  without_file_names(one.out) + std::to_string(one.exit_status))
            << row.name;
    }
}

TEST(Input, EncodingsAndAScanCutShort) {
    const std::string raw = text_file("plain.txt", scanned({"-r"})),
                      codes = text_file("codes.txt", scanned({"-c", "-i"}));
    const struct {
        const char *name;
        std::string file, command;
        int lines; // the whole lines it holds; -1 all
        bool truncated;
        std::string error;
    } rows[] = {
        {"UTF-8 with a byte-order mark", raw, R"({ printf '\357\273\277'; cat "$1"; })", -1, false,
         ""},
        // A few bytes at a time: characters split between reads.
        {"UTF-16LE with a mark and CRLF, as PowerShell 5.1 writes", raw,
         R"({ printf '\377\376'; sed 's/$/\r/' "$1" | iconv -f ASCII -t UTF-16LE; } | dd bs=7 status=none)",
         -1, false, ""},
        {"UTF-16BE with a mark", raw, R"({ printf '\376\377'; iconv -f ASCII -t UTF-16BE "$1"; })",
         -1, false, ""},
        {"cut inside a raw line", raw, R"(head -c 37020 "$1")", 1000, true, ""},
        {"a last line without its line end", raw, R"(head -c -1 "$1")", -1, true, ""},
        {"UTF-16 cut inside a character", raw,
         R"({ printf '\377\376'; iconv -f ASCII -t UTF-16LE "$1"; } | head -c 74003)", 1000, true,
         ""},
        {"cut inside a code line", codes, R"({ head -n 20 "$1"; sed -n 21p "$1" | head -c 30; })",
         20, true, ""},
        {"a last line that begins no line qscan prints", raw, R"({ cat "$1"; printf hello; })", 0,
         false, ": not a line qscan prints: 'hello'"},
        {"UTF-16 without a mark", raw, R"(iconv -f ASCII -t UTF-16LE "$1")", 0, false,
         ":1: not a line qscan prints: '0?1? ?0?1? ?"},
        {"only the start of a first line", raw, R"(head -c 20 "$1")", 0, false,
         "the input ends inside its first line"},
    };
    for (const auto &row : rows) {
        const process_result r = report_sh(row.command + " | \"$0\" --json", row.file);
        if (!row.error.empty()) {
            EXPECT_NE(r.err.find(row.error), std::string::npos) << row.name << ": " << r.err;
            EXPECT_EQ(r.exit_status, 2) << row.name;
            continue;
        }
        const std::string whole =
            row.lines < 0 ? "cat \"$1\"" : "head -n " + std::to_string(row.lines) + " \"$1\"";
        const process_result expected = report_sh(whole + " | \"$0\" --json", row.file);
        ASSERT_EQ(r.err, "") << row.name;
        json got = json::parse(r.out);
        json &findings = got["findings"];
        if (row.truncated) {
            ASSERT_FALSE(findings.empty()) << row.name;
            EXPECT_EQ(findings.back()["kind"], "truncated_input") << row.name;
            EXPECT_EQ(findings.back()["track"], nullptr) << row.name;
            findings.erase(findings.size() - 1);
            EXPECT_EQ(r.exit_status, 1) << row.name;
        }
        EXPECT_EQ(got, json::parse(expected.out)) << row.name;
    }
}

// A pipe named on the command line cannot go back to its start: the report
// reads it from its first byte, as it reads a file.
TEST(Input, ANamedPipeIsReadWhole) {
    const std::string file = text_file("piped.txt", scanned({"-r"}));
    const process_result from_file = report_sh(R"("$0" --json "$1")", file);
    const process_result from_fifo = report_sh(
        R"(f="$1.fifo"; rm -f "$f"; mkfifo "$f" && { cat "$1" > "$f" & "$0" --json "$f"; })", file);
    EXPECT_EQ(from_fifo.err, "");
    EXPECT_EQ(without_file_names(from_fifo.out), without_file_names(from_file.out));
    // A dump through one shows itself by its first line.
    const process_result dump =
        report_sh(R"(f="$1.fifo"; rm -f "$f"; mkfifo "$f" && { cat "$1" > "$f" & "$0" "$f"; })",
                  sample_disc_images("piped-dump", "").front());
    EXPECT_NE(dump.err.find(".fifo: looks like a sub-channel dump"), std::string::npos) << dump.err;
}

TEST(Input, AReportThatCannotBeWrittenIsAnError) {
    const std::string file = text_file("written.txt", scanned({"-r"}));
    const struct {
        const char *name, *command;
    } rows[] = {
        {"the text to a full disk", R"("$0" "$1" > /dev/full; echo "exit $?" >&2)"},
        {"a CUE sheet to a full disk", R"("$0" --cue "$1" > /dev/full; echo "exit $?" >&2)"},
        {"the picture to a full disk", R"("$0" --svg - "$1" > /dev/full; echo "exit $?" >&2)"},
        {"the picture into a file on a full disk",
         R"("$0" --svg /dev/full "$1" > /dev/null; echo "exit $?" >&2)"},
        // The reader is gone before the report comes.
        {"a closed pipe",
         R"({ cat "$1"; sleep 0.3; } | { "$0" --json; echo "exit $?" >&2; } | true)"},
    };
    for (const auto &row : rows) {
        const process_result r = report_sh(row.command, file);
        EXPECT_NE(r.err.find("cannot be written: "), std::string::npos) << row.name << r.err;
        EXPECT_NE(r.err.find("exit 2\n"), std::string::npos) << row.name << ": " << r.err;
    }
}

} // namespace
