// qscan-report on the discs where the answer matters most, at a real disc's
// density of about one ISRC frame in 100: what each track's status and code
// are, the findings, and what the JSON, the text and the CUE sheet say.
#include "discgen.h"
#include "support/images.h"
#include "support/process.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

namespace {

using nlohmann::json;

struct disc_row {
    std::string name, disc;
    std::vector<std::string> tracks;              // "NUMBER STATUS [CODE]", every track
    std::vector<std::string> findings;            // kind@track
    std::vector<std::pair<std::string, json>> at; // JSON pointer, value
    std::vector<std::string> text, cue;           // lines the report holds; the CUE sheet's
                                                  // ("exit 2: WHY" when it is refused)
    std::string options = "-r";
};

process_result run(const std::vector<std::string> &args) {
    std::vector<std::string> argv = {QSCAN_REPORT_EXE};
    argv.insert(argv.end(), args.begin(), args.end());
    return run_process(QSCAN_REPORT_EXE, argv);
}

std::string scanned(const disc_row &row) {
    discgen_description disc;
    EXPECT_EQ(discgen_parse(row.disc, &disc), "") << row.name;
    const std::string image =
        write_file("hard.sub", discgen_image(discgen_frames(disc), true, disc.seed));
    const process_result scan = run_qscan({row.options, "X:"}, image);
    return write_file("hard.txt", std::vector<uint8_t>(scan.out.begin(), scan.out.end()));
}

// n tracks of the given length, each with its own code, the first frames of
// each carrying the previous one's.
std::string many_tracks(int n, const char *length, int every, int carried) {
    std::string disc =
        "isrc_every " + std::to_string(every) + "\ncarry_over " + std::to_string(carried) + "\n";
    for (int i = 1; i <= n; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "track GBAYE69%05d length %s\n", i, length);
        disc += line;
    }
    return disc;
}

std::vector<std::string> own_codes(int n) {
    std::vector<std::string> out;
    for (int i = 1; i <= n; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "%d own GBAYE69%05d", i, i);
        out.push_back(line);
    }
    return out;
}

// Description lines that put the Q bytes q, sealed with their CRC, at lba.
std::string at_q(uint32_t lba, std::vector<uint8_t> q) {
    q.resize(12);
    discgen_seal(q.data());
    std::string line = "at " + std::to_string(lba) + " q";
    for (const uint8_t byte : q) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02x", byte);
        line += hex;
    }
    return line + "\n";
}

uint8_t bcd(int64_t n) {
    return static_cast<uint8_t>(n / 10 << 4 | n % 10);
}

// Track 2 of 20 s each, from LBA 1500: its last 30 frames in an index 00
// after its index 01, one of them an ISRC frame of its own code.
std::string trailing_pause() {
    std::string disc = "isrc_every 100\ntrack GBAYE6900001 length 0:20.00\n"
                       "track GBAYE6900002 length 0:20.00\n";
    for (uint32_t lba = 2970; lba < 3000; ++lba) {
        const int64_t rel = 2999 - lba, abs = lba + 150;
        disc += at_q(lba, {0x01, 0x02, 0x00, 0x00, 0x00, bcd(rel), 0x00, bcd(abs / 4500),
                           bcd(abs / 75 % 60), bcd(abs % 75)});
    }
    std::vector<uint8_t> isrc(12);
    isrc[0] = 0x03;
    discgen_put_recording(isrc.data(), "GBAYE6900002", 2985 + 150);
    return disc + at_q(2985, isrc);
}

// The offset jumps to 1 and back every period sectors, from sector first to
// last.
std::string jittering(int period, int first, int last) {
    std::string disc = "isrc_every 100\ntrack GBAYE6900001 length 1:00.00\n"
                       "track GBAYE6900002 pregap 0:02.00 length 1:00.00\n";
    for (int from = first; from <= last; from += period) {
        disc += "q_offset " + std::to_string((from - first) / period % 2) + " from " +
                std::to_string(from) + "\n";
    }
    return disc;
}

std::vector<disc_row> rows() {
    return {
        {"99 tracks of 4 s, the previous code carried onto 3 frames",
         many_tracks(99, "0:04.00", 100, 3),
         own_codes(99),
         {},
         {},
         {},
         {}},
        {"99 tracks of 10 s, a code in 500 frames",
         many_tracks(99, "0:10.00", 500, 3),
         own_codes(99),
         {},
         {},
         {},
         {}},
        // The carried-over frames outnumber the short tracks' own.
        {"a carry-over of 30 frames",
         many_tracks(3, "0:04.00", 100, 30),
         own_codes(3),
         {},
         {},
         {},
         {}},
        // Tracks too short for any clear frame: a code carried over from one
        // is still that track's own, not the next one's.
        {"tracks of 1 s, the previous code carried onto 20 frames",
         many_tracks(4, "0:01.00", 10, 20),
         own_codes(4),
         {},
         {},
         {},
         {}},
        {"ties, duplicates, too few frames",
         R"(isrc_every 100
track GBAYE6900001 length 0:20.00
track GBAYE6900002 length 0:20.00 isrc2 GBAYE6900003
track GBAYE6900001 length 0:20.00
track - length 0:01.10
track - length 0:01.40
track GBAYE6900006 length 0:20.00
)",
         {"1 own GBAYE6900001", "2 ambiguous", "3 own GBAYE6900001", "4 unknown", "5 none",
          "6 own GBAYE6900006"},
         {"ambiguous_isrc@2", "missing_isrc@5", "duplicate_isrc@disc"},
         {{"/findings/0/values/codes", {"GBAYE6900002", "GBAYE6900003"}}},
         {"    2  00:20.00  00:20.00    1500  ambiguous             0        0\n       2 other "
          "codes",
          "track 2: GB-AYE-69-00003 on 7 frames, LBA 1600-2800: tied, so no code is its\n    own"},
         {"  TRACK 02 AUDIO\n    INDEX 01 00:20:00\n",
          "    ISRC GBAYE6900001\n    INDEX 01 00:40:00"}},
        {"index 02 and 03",
         "isrc_every 100\ntrack GBAYE6900001 length 0:20.00 index 0:05.00 index 0:10.00\n",
         {"1 own GBAYE6900001"},
         {},
         {{"/tracks/0/indexes", json::parse(R"([{"number": 1, "lba": 0},
             {"number": 2, "lba": 375}, {"number": 3, "lba": 750}])")}},
         {"375; index 03 at"},
         {"    INDEX 01 00:00:00\n    INDEX 02 00:05:00\n    INDEX 03 00:10:00\n"}},
        {"a pause damaged throughout",
         "isrc_every 100\ntrack GBAYE6900001 length 0:20.00\n"
         "track GBAYE6900002 pregap 0:02.00 length 0:20.00\nat 1500-1649 crc_error\n",
         {"1 own GBAYE6900001", "2 own GBAYE6900002"},
         {"unreadable_pause@2", "damage@disc"},
         {{"/tracks/0/damaged", 0},
          {"/tracks/1/damaged", 150},
          {"/tracks/1/index00_lba", nullptr},
          {"/findings/0/values/first_lba", 1500},
          {"/findings/0/values/last_lba", 1649}},
         {"  track 2: damage hides its pause: if it has one, it begins within LBA 1500-1649"},
         {}},
        {"a track damaged throughout",
         "isrc_every 100\ntrack GBAYE6900001 length 0:20.00\ntrack GBAYE6900002 length 0:04.00\n"
         "track GBAYE6900003 length 0:20.00\nat 1500-1799 crc_error\n",
         {"1 own GBAYE6900001", "2 unknown", "3 own GBAYE6900003"},
         {"unreadable_track@2", "damage@disc"},
         {{"/tracks/1/readable", false}, {"/findings/0/values/last_lba", 1799}},
         {"    2  -         -              -  unknown               0      300\n       could not "
          "be read"},
         {"exit 2: track 2 could not be read"}},
        {"damage where a pause begins",
         "isrc_every 100\ntrack GBAYE6900001 length 0:20.00\n"
         "track GBAYE6900002 pregap 0:02.00 length 0:20.00\nat 1485-1514 crc_error\n",
         {"1 own GBAYE6900001", "2 own GBAYE6900002"},
         {"uncertain_boundary@2"},
         {{"/findings/0/values/first_lba", 1485}, {"/findings/0/values/last_lba", 1515}},
         {"  track 2: damage hides where index 00 begins: within LBA 1485-1515"},
         {}},
        // Layouts the Red Book allows, with the disc's own track numbers.
        {"disc 2 of a set: tracks 13 to 15",
         "isrc_every 100\nfirst_track 13\ntrack GBAYE6900013 length 0:20.00\n"
         "track GBAYE6900014 pregap 0:02.00 length 0:20.00\n"
         "track GBAYE6900015 pregap 0:02.00 length 0:20.00\nleadout 0:01.00\n",
         {"13 own GBAYE6900013", "14 own GBAYE6900014", "15 own GBAYE6900015"},
         {},
         {{"/ids/musicbrainz_toc", "13 15 4950 150 1800 3450"}, {"/tracks/0/index01_lba", 0}},
         {"   13  00:00.00  00:22.00       0  GB-AYE-69-00013",
          "&tracks=15&toc=13+15+4950+150+1800+3450"},
         {"  TRACK 13 AUDIO\n    ISRC GBAYE6900013\n    INDEX 01 00:00:00\n"}},
        {"a number the disc skips: 1, 2, 3, 5",
         "isrc_every 100\ntrack GBAYE6900001 length 0:20.00\ntrack GBAYE6900002 length 0:20.00\n"
         "track GBAYE6900003 length 0:20.00\ntrack GBAYE6900005 length 0:20.00 number 5\n"
         "leadout 0:01.00\n",
         {"1 own GBAYE6900001", "2 own GBAYE6900002", "3 own GBAYE6900003", "5 own GBAYE6900005"},
         {},
         {{"/ids/musicbrainz_toc", "1 5 6150 150 1650 3150 0 4650"}},
         {},
         {"  TRACK 05 AUDIO\n"}},
        {"a number damage could hold: 1, 2, then 4 after 4 s of damage",
         "isrc_every 100\ntrack GBAYE6900001 length 0:20.00\ntrack GBAYE6900002 length 0:20.00\n"
         "track GBAYE6900004 length 0:20.00 number 4\nat 2700-2999 crc_error\n",
         {"1 own GBAYE6900001", "2 own GBAYE6900002", "3 unknown", "4 own GBAYE6900004"},
         {"unreadable_track@3", "damage@disc"},
         {{"/findings/0/values/first_lba", 2700}, {"/findings/0/values/last_lba", 2999}},
         {},
         {"exit 2: track 3 could not be read"}},
        // A code frame where an index begins hides that sector's position;
        // the start is a range from the sector after the last one read.
        {"code frames at the first sector of a pause and of index 02",
         "isrc_every 100\ntrack GBAYE6900001 length 0:20.00 index 0:10.00\n"
         "track GBAYE6900002 pregap 0:02.00 length 0:20.00\n"
         "at 750 isrc\nat 1500 isrc GBAYE6900002\nleadout 0:01.00\n",
         {"1 own GBAYE6900001", "2 own GBAYE6900002"},
         {"uncertain_boundary@1", "uncertain_boundary@2"},
         {{"/tracks/0/indexes/1", json::parse(R"({"number": 2, "lba": 750, "latest_lba": 751})")},
          {"/tracks/1/index00_lba", 1500},
          {"/tracks/1/index01_lba", 1650},
          {"/findings/1/values/damaged", 0}},
         {"no position frame pins where index 02 begins: within LBA 750-751",
          "no position frame pins where index 00 begins: within LBA 1500-1501"},
         {"    INDEX 02 00:10:00\n", "    INDEX 00 00:20:00\n    INDEX 01 00:22:00\n"}},
        {"codes in an index 00 after the last track's index 01",
         trailing_pause(),
         {"1 own GBAYE6900001", "2 own GBAYE6900002"},
         {},
         {{"/tracks/1/pause_isrcs", json::array()}, {"/tracks/1/index00_lba", nullptr}},
         {},
         {}},
        // Raw bytes whose CRC holds but whose BCD cannot be: damage, counted.
        {"position frames whose nibbles are above 9",
         "isrc_every 100\ntrack GBAYE6900001 length 0:20.00\n" +
             at_q(700, {0x01, 0x01, 0x01, 0x00, 0x09, 0x3A, 0x00, 0x00, 0x11, 0x25}) +
             at_q(701, {0x01, 0x01, 0x01, 0x00, 0x09, 0x26, 0x00, 0x00, 0x11, 0xF1}),
         {"1 own GBAYE6900001"},
         {},
         {{"/frames/data_error", 2}, {"/drive/not_bcd", 2}},
         {"frames whose CRC holds but not their BCD,", "counted as damaged"},
         {}},
        // SCMS: a consumer recorder flips the copy bit every few frames.
        {"SCMS on every track",
         "isrc_every 100\ncontrol 2\ncopy_alternate 4\ntrack GBAYE6900001 length 0:20.00\n"
         "track GBAYE6900002 pregap 0:02.00 length 0:20.00 control 3\nleadout 0:01.00\n",
         {"1 own GBAYE6900001", "2 own GBAYE6900002"},
         {"scms@disc"},
         {{"/tracks/0/control", 0},
          {"/tracks/1/control", 1},
          {"/tracks/1/scms", true},
          {"/findings/0/values/tracks", json::array({"1", "2"})},
          {"/ids/leadout_assumed", false}},
         {"the copy bit alternates on tracks 1 and 2"},
         {"  TRACK 01 AUDIO\n    ISRC", "  TRACK 02 AUDIO\n    FLAGS PRE\n"}},
        {"a hidden track",
         "isrc_every 100\ntrack GBAYE6900001 pregap 0:30.00 length 0:20.00 pause_isrc "
         "GBAYE6900099\ntrack GBAYE6900002 length 0:20.00\nat 2251-2253 isrc GBAYE6900099\n",
         {"1 own GBAYE6900001", "2 own GBAYE6900002"},
         {},
         {{"/hidden_track", json::parse(R"({"lba": 0, "sectors": 2250, "isrc": "GBAYE6900099",
             "isrc_frames": 23})")},
          {"/tracks/0/pause_isrcs", json::array()},
          {"/tracks/0/other_isrcs/0/kind", "carried_over"}},
         {"Hidden    a track before track 1, LBA 0 on 2250 sectors, GB-AYE-69-00099 on\n          "
          "23 frames"},
         {"    INDEX 00 00:00:00\n    INDEX 01 00:30:00\n"}},
        {"a data track",
         "isrc_every 100\ntrack GBAYE6900001 length 0:20.00\ntrack - length 0:20.00 control 15\n"
         "track GBAYE6900003 length 0:20.00 control 9\n",
         {"1 own GBAYE6900001", "2 none", "3 own GBAYE6900003"},
         {},
         {},
         {},
         {"TRACK 02 MODE1/2352\n    FLAGS DCP\n", "TRACK 03 AUDIO\n    FLAGS 4CH PRE\n"}},
        // Every other frame agrees: the pause is read all the same.
        {"a drive whose offset jitters from frame to frame",
         // It never returns LBA 4499's Q, so where the pause begins is a range.
         jittering(1, 4000, 6000),
         {"1 own GBAYE6900001", "2 own GBAYE6900002"},
         {"uncertain_boundary@2", "q_jitter@disc"},
         {{"/tracks/1/index00_lba", 4499},
          {"/tracks/1/indexes/0/latest_lba", 4500},
          {"/tracks/1/index01_lba", 4650}},
         {},
         {}},
        {"a drive whose offset jitters",
         jittering(50, 100, 8900),
         {"1 own GBAYE6900001", "2 own GBAYE6900002"},
         {"q_jitter@disc"},
         {{"/drive/slip_count", 176}, {"/drive/q_offset", 0}, {"/findings/0/values/switches", 176}},
         {"  disc: the drive's Q offset switches between 0 and 1, 176 times from sector 150"},
         {}},
        // A frame read 30 sectors early is damage where its time would lie.
        {"damage read 30 sectors off",
         "isrc_every 100\ntrack GBAYE6900001 length 0:20.00\ntrack GBAYE6900002 length 0:20.00\n"
         "at 1500-1519 crc_error\nq_offset 30\nleadout 0:01.00\n",
         {"1 own GBAYE6900001", "2 own GBAYE6900002"},
         {"q_offset@disc", "damage@disc"},
         {{"/tracks/0/damaged", 0}, {"/tracks/1/damaged", 20}},
         {},
         {}},
        // Track 2 is read only by codes carried over; 6, 8, 10 and 11 not at
        // all, and 10 and 11 cannot be told apart.
        // Nothing before track 13 can be read, and its 299 frames hold no
        // track: the disc begins at 13, after a hidden track.
        {"first track 13, a hidden track, damage over its first 299 frames",
         "isrc_every 100\nfirst_track 13\n"
         "track GBAYE6900013 pregap 0:32.00 length 0:30.00 pause_isrc GBAYE6900099\n"
         "track GBAYE6900014 length 0:30.00\ntrack GBAYE6900015 length 0:30.00\n"
         "at 0-298 crc_error\n",
         {"13 own GBAYE6900013", "14 own GBAYE6900014", "15 own GBAYE6900015"},
         {"damage@disc"},
         {{"/hidden_track/isrc", "GBAYE6900099"}},
         {"Hidden    a track before track 13"},
         {"TRACK 13 AUDIO"}},
        // A track lasts 4 s at the least: 299 damaged frames hold none, 300
        // may hold track 4.
        // Ten damaged frames where a pause would lie may hide it; nine may not.
        {"ten damaged frames before a track without a pause",
         "isrc_every 100\ntrack GBAYE6900001 length 0:20.00\ntrack GBAYE6900002 length 0:20.00\n"
         "at 1490-1499 crc_error\n",
         {"1 own GBAYE6900001", "2 own GBAYE6900002"},
         {"unreadable_pause@2"},
         {{"/findings/0/values/first_lba", 1490}, {"/findings/0/values/last_lba", 1499}},
         {},
         {}},
        {"nine damaged frames before a track without a pause",
         "isrc_every 100\ntrack GBAYE6900001 length 0:20.00\ntrack GBAYE6900002 length 0:20.00\n"
         "at 1491-1499 crc_error\n",
         {"1 own GBAYE6900001", "2 own GBAYE6900002"},
         {},
         {},
         {},
         {}},
        {"a skipped number beside 299 damaged frames",
         "isrc_every 100\ntrack GBAYE6900001 length 0:30.00\ntrack GBAYE6900002 length 0:30.00\n"
         "track GBAYE6900003 length 0:30.00\ntrack GBAYE6900005 length 0:30.00 number 5\n"
         "at 6450-6748 crc_error\n",
         {"1 own GBAYE6900001", "2 own GBAYE6900002", "3 own GBAYE6900003", "5 own GBAYE6900005"},
         {"damage@disc"},
         {},
         {},
         {}},
        {"a skipped number beside 300 damaged frames",
         "isrc_every 100\ntrack GBAYE6900001 length 0:30.00\ntrack GBAYE6900002 length 0:30.00\n"
         "track GBAYE6900003 length 0:30.00\ntrack GBAYE6900005 length 0:30.00 number 5\n"
         "at 6450-6749 crc_error\n",
         {"1 own GBAYE6900001", "2 own GBAYE6900002", "3 own GBAYE6900003", "4 unknown",
          "5 own GBAYE6900005"},
         {"unreadable_track@4", "damage@disc"},
         {{"/findings/0/values/first_lba", 6450}, {"/findings/0/values/last_lba", 6749}},
         {},
         {}},
        {"lines only: tracks without a code",
         R"(isrc_every 100
track GBAYE6900001 length 0:20.00
track - length 0:01.00
track GBAYE6900003 length 0:20.00
track - length 0:20.00
track GBAYE6900005 length 0:20.00
track - length 0:20.00
track GBAYE6900007 length 0:20.00
track - length 0:01.00
track GBAYE6900009 length 0:20.00
track - length 0:20.00
track - length 0:20.00
track GBAYE6900012 length 0:20.00
at 1501-1503 isrc GBAYE6900001
at 3076-3078 isrc GBAYE6900003
)",
         // ISRC lines alone show nothing of a codeless track being read:
         // damage may have hidden a code there.
         {"1 own GBAYE6900001", "2 unknown", "3 own GBAYE6900003", "4 unknown",
          "5 own GBAYE6900005", "6 unknown", "7 own GBAYE6900007", "8 unknown",
          "9 own GBAYE6900009", "10 unknown", "11 unknown", "12 own GBAYE6900012"},
         {"layout_incomplete@disc"},
         {},
         {"MCN       no catalog line: scan with -c or -r to look for one"},
         {},
         "-i"},
        // qscan -c prints catalog lines only: no ISRC was looked for, so no
        // track can be said to have none.
        {"lines only: catalog lines, no ISRC asked",
         "mcn 0724384960650\nmcn_every 50\nisrc_every 20\n"
         "track GBAYE6900001 length 0:20.00\ntrack - pregap 0:02.00 length 0:15.00\n"
         "track GBAYE6900003 pregap 0:02.00 length 0:10.00\n",
         {"1 unknown", "2 unknown", "3 unknown"},
         {"layout_incomplete@disc"},
         {},
         {},
         {},
         "-c"},
    };
}

TEST(Report, TheHardDiscs) {
    for (const disc_row &row : rows()) {
        const std::string output = scanned(row);
        const process_result r = run({"--json", output});
        const json j = json::parse(r.out);
        std::vector<std::string> tracks, findings;
        for (const json &t : j["tracks"]) {
            tracks.push_back(std::to_string(int(t["number"])) + " " +
                             t["isrc_status"].get<std::string>() +
                             (t["isrc"].is_null() ? "" : " " + t["isrc"].get<std::string>()));
        }
        for (const json &f : j["findings"]) {
            findings.push_back(f["kind"].get<std::string>() + "@" +
                               (f["track"].is_null() ? "disc" : std::to_string(int(f["track"]))));
        }
        EXPECT_EQ(tracks, row.tracks) << row.name;
        EXPECT_EQ(findings, row.findings) << row.name;
        EXPECT_EQ(r.exit_status, row.findings.empty() ? 0 : 1) << row.name;
        EXPECT_LE(j["drive"].is_null() ? 0 : j["drive"]["slips"].size(), 100u) << row.name;
        for (const auto &[pointer, value] : row.at) {
            const json::json_pointer at(pointer);
            EXPECT_EQ(j.contains(at) ? j.at(at) : json("(missing)"), value)
                << row.name << " " << pointer;
        }
        const std::string text = run({output}).out;
        // 80 columns, but for a URL that stands alone on its line.
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) {
            const size_t url = line.find("https://");
            EXPECT_TRUE(line.size() <= 80 ||
                        (url != std::string::npos && line.find_first_not_of(' ') == url &&
                         line.find(' ', url) == std::string::npos))
                << row.name << ": " << line.size() << " columns: " << line;
            // Nor a word of the header wrapped alone onto its own line.
            EXPECT_FALSE(line.rfind("          ", 0) == 0 && url == std::string::npos &&
                         line.find(' ', 10) == std::string::npos)
                << row.name << ": " << line;
        }
        for (const std::string &line : row.text) {
            EXPECT_NE(text.find(line), std::string::npos) << row.name << ": " << line << "\n"
                                                          << text;
        }
        const process_result cue = run({"--cue", output});
        for (const std::string &lines : row.cue) {
            const bool refused = lines.rfind("exit 2: ", 0) == 0;
            const std::string &said = refused ? cue.err : cue.out;
            EXPECT_NE(said.find(refused ? lines.substr(8) : lines), std::string::npos)
                << row.name << ": " << lines << "\n"
                << said;
            EXPECT_EQ(cue.exit_status, refused ? 2 : row.findings.empty() ? 0 : 1) << row.name;
        }
        // The CUE sheet gives a track's own code and no other.
        for (const json &t : j["tracks"]) {
            const std::string isrc = t["isrc"].is_null() ? "" : t["isrc"].get<std::string>();
            EXPECT_EQ(isrc.empty() || cue.out.find("ISRC " + isrc) != std::string::npos ||
                          cue.exit_status == 2,
                      true)
                << row.name << " track " << t["number"];
        }
    }
}

// Peak memory does not grow with sectors, even where every other frame is an
// ISRC frame of one of two codes and damage cuts them into short runs.
TEST(Report, MemoryStaysFlatWhenCodesAlternate) {
#if defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer holds freed memory back, so the peak tells nothing.
    GTEST_SKIP() << "peak memory under AddressSanitizer";
#endif
    std::vector<long> peaks;
    for (const char *length : {"6:00.00", "60:00.00"}) {
        disc_row row;
        row.disc = std::string("isrc_every 2\ndamage 0.3\ntrack GBAYE6900001 length ") + length +
                   " isrc2 GBAYE6900002\n";
        const std::string output = scanned(row);
        const process_result r =
            run_process("/usr/bin/time", {"time", "-f", "%M", QSCAN_REPORT_EXE, "--json", output});
        peaks.push_back(std::stol(r.err.substr(r.err.rfind('\n', r.err.size() - 2) + 1)));
        EXPECT_EQ(json::parse(r.out)["tracks"].size(), 1u) << length;
    }
    EXPECT_LT(peaks[1] - peaks[0], 512) << peaks[0] << " KiB, then " << peaks[1] << " KiB";
}

} // namespace
