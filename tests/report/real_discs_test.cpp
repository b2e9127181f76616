// Real discs: tables of contents that exist, kept unchanged under
// tests/data/real with the IDs MusicBrainz, freedb and AccurateRip gave
// them. Each is built frame by frame, scanned through the simulated drive
// with several drive habits, and must come out with its own layout and its
// published IDs whatever the habit.
#include "discgen.h"
#include "report/report_runs.h"
#include "support/images.h"
#include "support/process.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>

namespace {

using nlohmann::json;

constexpr int64_t SESSION_GAP = 11400; // lead-out, lead-in and pregap between sessions
constexpr int64_t SESSION_PREGAP = 150;

json real_tocs() {
    std::ifstream in(QSCAN_TEST_DATA "/real/tocs.json");
    return json::parse(in);
}

// A drive habit: what the description gains, and whether the scan ends
// before the lead-out (the drive refuses it) or before a second session.
struct habit {
    const char *name;
    std::string extra;
    bool leadout_read = true;
    bool code_at_every_index = false;
    bool audio_session_only = false;
};

std::string msf(int64_t frames) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld.%02lld", static_cast<long long>(frames / 4500),
                  static_cast<long long>(frames / 75 % 60), static_cast<long long>(frames % 75));
    return text;
}

// Where each track's pause begins in the disc built: two seconds before
// its start where the track before is long enough to spare them.
int64_t pause_frames(const json &tracks, size_t i) {
    if (i == 0) {
        return tracks[0]["lba"].get<int64_t>();
    }
    const int64_t before = tracks[i]["lba"].get<int64_t>() - tracks[i - 1]["lba"].get<int64_t>();
    return before >= 600 ? 150 : 0;
}

// The disc of a real table of contents; data tracks after the audio lie in
// a second session.
std::string description_of(const json &toc, const habit &h, std::vector<int64_t> &index_starts) {
    const json &tracks = toc["tracks"];
    const int first = toc["first_track"].get<int>();
    std::string out = first != 1 ? "first_track " + std::to_string(first) + "\n" : "";
    const bool second_session = !tracks.back()["audio"].get<bool>() &&
                                tracks.front()["audio"].get<bool>() && !toc.contains("session");
    const size_t count = h.audio_session_only && second_session ? tracks.size() - 1 : tracks.size();
    for (size_t i = 0; i < count; ++i) {
        const int64_t lba = tracks[i]["lba"].get<int64_t>();
        const bool session = second_session && i + 1 == tracks.size();
        const int64_t pause = session ? SESSION_PREGAP : pause_frames(tracks, i);
        int64_t end = i + 1 < tracks.size()
                          ? tracks[i + 1]["lba"].get<int64_t>() - pause_frames(tracks, i + 1)
                          : toc["leadout_lba"].get<int64_t>();
        if (second_session && i + 2 == tracks.size()) {
            end = tracks[i + 1]["lba"].get<int64_t>() - SESSION_GAP;
        }
        out += "track - length " + msf(end - lba) + (pause > 0 ? " pregap " + msf(pause) : "") +
               (tracks[i]["audio"].get<bool>() ? "" : " control 4") +
               (session ? " session 2" : "") + "\n";
        if (pause > 0) {
            index_starts.push_back(lba - pause);
        }
        index_starts.push_back(lba);
    }
    if (h.leadout_read) {
        out += "leadout 0:02.00\n";
    }
    if (h.code_at_every_index) {
        for (const int64_t lba : index_starts) {
            out += "at " + std::to_string(lba) + " isrc GBAYE0000001\n";
        }
    }
    return out + h.extra;
}

json scanned_report(const std::string &description) {
    discgen_description d;
    EXPECT_EQ(discgen_parse(description, &d), "") << description;
    const std::string image = write_file("real.sub", discgen_image(discgen_frames(d), true, 7));
    const std::string lines = run_qscan({"-r", "X:"}, image).out;
    const std::string path = write_file("real.txt", {lines.begin(), lines.end()});
    const process_result out =
        run_process(QSCAN_REPORT_EXE, {QSCAN_REPORT_EXE, "--json", path}, {}, 120);
    return json::parse(out.out);
}

// The published IDs of a row; an ID absent from the row is not compared.
void expect_ids(const json &toc, const json &report, const habit &h) {
    const std::string what = toc["name"].get<std::string>() + ", " + h.name;
    const json &ids = report["ids"];
    ASSERT_TRUE(ids.is_object()) << what << ": " << report["ids_reason"];
    const json &published = toc["ids"];
    if (published.contains("musicbrainz")) {
        EXPECT_EQ(ids["musicbrainz"], published["musicbrainz"]) << what;
    }
    // Only MusicBrainz counts the audio session alone.
    if (h.audio_session_only) {
        return;
    }
    if (published.contains("freedb") && toc["first_track"] == 1) {
        EXPECT_EQ(ids["freedb"], published["freedb"]) << what;
    }
    if (published.contains("accuraterip")) {
        const std::string ar = ids["accuraterip"].get<std::string>(),
                          expected = published["accuraterip"].get<std::string>();
        EXPECT_EQ(ar.substr(ar.size() - expected.size()), expected) << what;
    }
}

const habit HABITS[] = {
    {"a drive that reads the lead-out", ""},
    {"Q lagging by 1, the lead-out refused", "q_offset -1\n", false},
    {"Q lagging by 2, the lead-out refused", "q_offset -2\n", false},
    {"Q leading by 2", "q_offset 2\n"},
    {"a code frame at every index's first sector", "", true, true},
};

TEST(RealDiscs, PublishedIdsAndTheLayoutWhateverTheDrive) {
    for (const json &toc : real_tocs()) {
        for (const habit &h : HABITS) {
            std::vector<int64_t> starts;
            const json r = scanned_report(description_of(toc, h, starts));
            const std::string what = toc["name"].get<std::string>() + ", " + h.name;
            expect_ids(toc, r, h);
            // Every index 01 where the table of contents puts it, every pause
            // where the disc was built with it, with the disc's own numbers.
            const json &tracks = r["tracks"];
            ASSERT_EQ(tracks.size(), toc["tracks"].size()) << what;
            for (size_t i = 0; i < tracks.size(); ++i) {
                EXPECT_EQ(tracks[i]["number"], toc["tracks"][i]["number"]) << what;
                EXPECT_EQ(tracks[i]["index01_lba"], toc["tracks"][i]["lba"]) << what;
            }
            std::vector<int64_t> read;
            for (const json &t : tracks) {
                for (const json &m : t["indexes"]) {
                    read.push_back(m["lba"].get<int64_t>());
                }
            }
            EXPECT_EQ(read, starts) << what;
            for (const json &f : r["findings"]) {
                EXPECT_NE(f["kind"], "unreadable_track") << what << ": " << f["text"];
                EXPECT_NE(f["kind"], "damage") << what << ": " << f["text"];
            }
        }
    }
}

// The picture of each real disc keeps its geometry: tracks as the world
// lays them out, not only as our own discs do.
TEST(RealDiscs, ThePictureOfEachHolds) {
    for (const json &toc : real_tocs()) {
        std::vector<int64_t> starts;
        const std::string name = "real-" + toc["name"].get<std::string>().substr(0, 20);
        const std::string scan = scan_described(name, description_of(toc, HABITS[0], starts));
        const process_result r = run_report({"--json", "--svg", scan + ".svg", scan});
        std::ofstream(scan + ".json") << r.out;
        const process_result checked =
            run_process(QSCAN_CHECK_SVG, {QSCAN_CHECK_SVG, scan + ".svg", scan + ".json"});
        EXPECT_EQ(checked.out + checked.err, "") << toc["name"];
    }
}

// An Enhanced CD read only as far as its audio session: MusicBrainz's ID
// is the one published; the others need the data session.
TEST(RealDiscs, AnEnhancedCdsAudioSessionAlone) {
    int rows = 0;
    for (const json &toc : real_tocs()) {
        if (toc["layout"] != "enhanced" || toc.contains("session") ||
            !toc["ids"].contains("musicbrainz")) {
            continue;
        }
        const habit h{"the audio session only", "", false, false, true};
        std::vector<int64_t> starts;
        expect_ids(toc, scanned_report(description_of(toc, h, starts)), h);
        ++rows;
    }
    EXPECT_GE(rows, 2);
}

} // namespace
