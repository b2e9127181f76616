// Real CUE sheets that rippers wrote, kept unchanged under tests/data/real.
// Each is read as it stands, the disc it describes is built frame by frame
// and scanned, and --expect must find the disc to match it; with one code
// changed on the disc, that one difference and no other. libcue, an
// independent reader, must see the same indexes in every sheet it can read.
#include "discgen.h"
#include "report/master_sheet.h"
#include "support/images.h"
#include "support/process.h"

#include <gtest/gtest.h>
#include <libcue.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>

namespace {

using nlohmann::json;
using report::expected_track;
using report::master_sheet;

constexpr int64_t UNKNOWN_LENGTH = 3 * 60 * 75; // a file whose end no sheet gives
constexpr int64_t UNKNOWN_PAUSE = 150;          // a pause at the end of a file

std::vector<std::string> real_sheets() {
    std::ifstream in(QSCAN_TEST_DATA "/real/sheets.json");
    std::vector<std::string> out;
    for (const json &row : json::parse(in)) {
        const std::string file = row["file"];
        if (file.ends_with(".cue")) {
            out.push_back(QSCAN_TEST_DATA "/real/" + file);
        }
    }
    return out;
}

master_sheet sheet_of(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    master_sheet sheet;
    EXPECT_EQ(report::read_master_sheet(in, path, &sheet), "");
    return sheet;
}

std::string msf(int64_t frames) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld.%02lld", static_cast<long long>(frames / 4500),
                  static_cast<long long>(frames / 75 % 60), static_cast<long long>(frames % 75));
    return text;
}

// A point of the sheet on its file's time line; in a single file, the
// silence PREGAP adds is on that line too.
struct point {
    int file;
    int64_t frames;
};

std::optional<point> line(const master_sheet &sheet, size_t i, int index) {
    const expected_track &t = sheet.tracks[i];
    const auto found = t.indexes.find(index);
    if (found == t.indexes.end()) {
        return std::nullopt;
    }
    int64_t gaps = 0;
    for (size_t k = 0; sheet.layout == report::sheet_layout::single_file && k <= i; ++k) {
        gaps += sheet.tracks[k].pregap.value_or(0);
    }
    return point{found->second.file, found->second.frames + gaps};
}

bool same_file(const std::optional<point> &a, const std::optional<point> &b) {
    return a && b && a->file == b->file;
}

// The disc a sheet describes: each track's pause and length where the
// sheet gives them, a guess where a file's end is unknown. A data track
// after the audio lies in a second session. An all-zero ISRC is a ripper's
// way of writing none, and so is an all-zero catalog number; changed: the
// track whose code the disc changes.
std::string disc_of(const master_sheet &sheet, int changed = 0, int64_t left_out = 0) {
    std::string out = "isrc_every 100\nleadout 0:02.00\n";
    if (sheet.catalog && *sheet.catalog != "0000000000000") {
        out += "mcn " + *sheet.catalog + "\nmcn_every 100\n";
    }
    if (sheet.tracks.front().number != 1) {
        out += "first_track " + std::to_string(sheet.tracks.front().number) + "\n";
    }
    std::vector<int64_t> pregaps;
    for (size_t i = 0; i < sheet.tracks.size(); ++i) {
        const auto zero = line(sheet, i, 0), one = line(sheet, i, 1);
        const int64_t within = same_file(zero, one) ? one->frames - zero->frames
                               : zero || !one       ? UNKNOWN_PAUSE
                               : i > 0              ? left_out
                                                    : 0;
        pregaps.push_back(sheet.tracks[i].pregap.value_or(0) + within);
    }
    for (size_t i = 0; i < sheet.tracks.size(); ++i) {
        const expected_track &t = sheet.tracks[i];
        const bool last = i + 1 == sheet.tracks.size();
        const auto one = line(sheet, i, 1);
        // The track runs to where the next one's pause begins in its file.
        int64_t length = UNKNOWN_LENGTH;
        if (!last) {
            const auto next_zero = line(sheet, i + 1, 0), next_one = line(sheet, i + 1, 1);
            if (same_file(next_zero, one)) {
                length = next_zero->frames - one->frames;
            } else if (same_file(next_one, one)) {
                length = next_one->frames - pregaps[i + 1] - one->frames;
            }
        }
        std::string isrc = t.isrc && *t.isrc != "000000000000" ? *t.isrc : "-";
        if (t.number == changed) {
            isrc = isrc == "GBAYE0000099" ? "GBAYE0000098" : "GBAYE0000099";
        }
        int control = t.audio ? 0 : 4;
        for (const std::string &flag : t.flags.value_or(std::set<std::string>{})) {
            control |= flag == "PRE" ? 1 : flag == "DCP" ? 2 : flag == "4CH" ? 8 : 0;
        }
        const bool session = !t.audio && i > 0 && sheet.tracks[i - 1].audio && last;
        out += "track " + isrc + " length " + msf(length) +
               (pregaps[i] > 0 ? " pregap " + msf(pregaps[i]) : "") + " control " +
               std::to_string(control) + (session ? " session 2" : "");
        for (const auto &[number, at] : t.indexes) {
            if (number >= 2) {
                out += " index " + msf(at.frames - t.indexes.at(1).frames);
            }
        }
        out += "\n";
    }
    return out;
}

json expect_report(const std::string &description, const std::string &sheet) {
    discgen_description d;
    EXPECT_EQ(discgen_parse(description, &d), "") << description;
    const std::string image = write_file("sheet.sub", discgen_image(discgen_frames(d), true, 3));
    const std::string lines = run_qscan({"-r", "X:"}, image).out;
    const std::string path = write_file("sheet.txt", {lines.begin(), lines.end()});
    const process_result out = run_process(
        QSCAN_REPORT_EXE, {QSCAN_REPORT_EXE, "--json", "--expect", sheet, path}, {}, 120);
    return json::parse(out.out);
}

// The first track with an ISRC in the sheet, else the first audio track.
int track_to_change(const master_sheet &sheet) {
    for (const expected_track &t : sheet.tracks) {
        if (t.isrc) {
            return t.number;
        }
    }
    return sheet.tracks.front().audio ? sheet.tracks.front().number : sheet.tracks[1].number;
}

// A code frame where each index the report found begins, in place of
// the position frame that would pin it: the track's own ISRC, else the
// catalog number, else a frame of a mode the report does not read.
std::string code_at_every_index(const json &report) {
    std::string out;
    const std::string other = report["mcn"].is_null() ? "mode 4" : "mcn";
    for (const json &t : report["tracks"]) {
        for (const json &m : t["indexes"]) {
            if (m["lba"].get<int64_t>() >= 0) {
                out += "at " + std::to_string(m["lba"].get<int64_t>()) + " " +
                       (t["isrc"].is_null() ? other : "isrc") + "\n";
            }
        }
    }
    return out;
}

TEST(RealSheets, TheDiscEachDescribesMatchesAndOneChangedCodeIsTheOneDifference) {
    for (const std::string &path : real_sheets()) {
        const master_sheet sheet = sheet_of(path);
        ASSERT_FALSE(sheet.tracks.empty()) << path;
        const std::string disc = disc_of(sheet);
        const json matched = expect_report(disc, path);
        // Drives that lag, code frames where indexes begin, and a scan
        // that never reaches a data session change nothing.
        std::vector<std::string> scans;
        for (const std::string habit : {"", "q_offset -1\n", "q_offset -2\n"}) {
            scans.push_back(disc + habit);
        }
        scans.push_back(disc + code_at_every_index(matched));
        // A rip whose gaps were left out says nothing of the pauses.
        if (disc.find(" pregap ") == std::string::npos) {
            scans.push_back(disc_of(sheet, 0, UNKNOWN_PAUSE));
        }
        if (const size_t at = disc.find(" session 2"); at != std::string::npos) {
            scans.push_back(disc.substr(0, disc.rfind('\n', at) + 1) +
                            disc.substr(disc.find('\n', at) + 1));
        }
        for (const std::string &scan : scans) {
            const json r = scan == disc ? matched : expect_report(scan, path);
            EXPECT_EQ(r["expect"]["match"], true)
                << path << "\n"
                << scan.substr(disc.size() - 40) << r["expect"]["mismatches"].dump(1);
            for (const json &f : r["findings"]) {
                EXPECT_NE(f["kind"], "unreadable_track") << path;
            }
        }
        const int changed = track_to_change(sheet);
        const json differs = expect_report(disc_of(sheet, changed), path);
        const json &mismatches = differs["expect"]["mismatches"];
        ASSERT_EQ(mismatches.size(), 1u) << path << "\n" << mismatches.dump(1);
        EXPECT_EQ(mismatches[0]["field"], "isrc") << path;
        EXPECT_EQ(mismatches[0]["track"], changed) << path;
    }
}

// libcue knows not EAC's placeholder type for a data track: its copy reads
// MODE1/2352 there, and nothing else changes.
Cd *libcue_read(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    for (size_t at = text.find("MODEx/2xxx"); at != std::string::npos;
         at = text.find("MODEx/2xxx")) {
        text.replace(at, 10, "MODE1/2352");
    }
    return cue_parse_string(text.c_str());
}

TEST(RealSheets, EachIndexAsLibcueReadsIt) {
    for (const std::string &path : real_sheets()) {
        const master_sheet sheet = sheet_of(path);
        Cd *cd = libcue_read(path);
        ASSERT_NE(cd, nullptr) << path;
        ASSERT_EQ(static_cast<size_t>(cd_get_ntrack(cd)), sheet.tracks.size()) << path;
        for (int n = 1; n <= cd_get_ntrack(cd); ++n) {
            const Track *track = cd_get_track(cd, n);
            const expected_track &t = sheet.tracks[static_cast<size_t>(n - 1)];
            const std::string what = path + ", track " + std::to_string(t.number);
            for (int index = 0; index <= 2; ++index) {
                const long theirs = track_get_index(const_cast<Track *>(track), index);
                const auto ours = t.indexes.find(index);
                EXPECT_EQ(theirs,
                          ours != t.indexes.end() ? static_cast<long>(ours->second.frames) : -1)
                    << what << " index " << index;
            }
            const char *isrc = track_get_isrc(const_cast<Track *>(track));
            EXPECT_EQ(isrc ? std::optional<std::string>(isrc) : std::nullopt, t.isrc) << what;
            EXPECT_EQ(t.audio, track_get_mode(const_cast<Track *>(track)) == MODE_AUDIO) << what;
        }
        cd_delete(cd);
    }
}

} // namespace
