// qscan-report's picture of a disc: what a scan's output says about each
// track's ISRC, the catalog number and the drive, worked out by the analysis
// and printed by the writers.
#pragma once

#include "report/disc_ids.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace report {

// Frames within this distance of a track's start or end may carry a
// neighbour's code: drives go on sending the previous ISRC for a few dozen
// frames at most, and some send the next one as early.
constexpr int64_t NEIGHBOUR_WINDOW_FRAMES = 40;

// A disc that carries an ISRC on a track puts it on at least one frame of
// every this many: a track without one on such a stretch read good has none.
constexpr uint32_t ISRC_STRETCH_FRAMES = 100;

// A track without a code has none when a code at the disc's density would
// have shown on its good frames but for a chance below one in a million:
// (1 - p)^n <= e^(-np), so np of at least ln 10^6. The density p is taken
// this many standard deviations below the one measured, so that a few
// frames never claim much.
constexpr double NONE_EXPECTED_FRAMES = 13.815510557964274;
constexpr double DENSITY_DEVIATIONS = 3;

// A second valid catalog number on more than this many frames is a rival.
constexpr uint32_t MCN_RIVAL_FRAMES = 3;

// A stretch of at least this many damaged frames where a pause would lie
// hides it.
constexpr int64_t UNREADABLE_STRETCH_FRAMES = 10;

// A track lasts four seconds at the least: an unread stretch holds no more
// tracks than fit in it.
constexpr int64_t MIN_TRACK_FRAMES = 4 * 75;

// Caps on what the analysis keeps, whatever the input: slips listed,
// damaged runs (neighbours merge beyond it), ISRCs and catalog numbers told
// apart, and codes of one track.
constexpr size_t MAX_SLIPS = 100;
constexpr size_t MAX_DAMAGE_RUNS = 4096;
constexpr size_t MAX_DISTINCT_ISRCS = 1024;
constexpr size_t MAX_DISTINCT_MCNS = 64;
constexpr size_t MAX_CODES_PER_TRACK = 64;

// A scan of more sectors than this (a minute) without one catalog or ISRC
// frame: the disc carries no codes, or the drive passes none on.
constexpr uint64_t NO_CODE_FRAMES_SECTORS = 60 * 75;

// Above this share of damaged frames the disc or the drive needs a look.
constexpr double DAMAGE_FINDING_SHARE = 0.01;

// At or above this share of damaged (or all-zero) frames the drive returns
// no usable Q at all.
constexpr double UNUSABLE_Q_SHARE = 0.9;

enum class code_validity { valid, invalid, placeholder };

// Where a code lies relative to the track it was read in.
enum class code_kind { own, carried_over, early, conflicting };

// One code as read, on some frames of a track (or of the disc).
struct code_seen {
    std::string code; // 12 ISRC characters or 13 catalog digits, exactly as read
    uint32_t frames = 0;
    int64_t first_lba = 0;
    int64_t last_lba = 0;
    code_kind kind = code_kind::own;
    code_validity validity = code_validity::valid;
};

// What can be said of a track's ISRC: its own code, none (a long enough
// stretch read without one), unknown (too little read to tell) or ambiguous
// (codes on equal counts).
enum class isrc_status { own, none, unknown, ambiguous };

const char *status_name(isrc_status status);

// Where an index begins: exactly at lba, or, where no position frame pins it,
// anywhere from lba to latest.
struct index_mark {
    int number = 0;
    int64_t lba = 0;
    std::optional<int64_t> latest = std::nullopt; // set only when not exact
};

// What one scan alone says of a track's ISRC.
struct scan_verdict {
    size_t scan = 0;  // from 1
    bool read = true; // false: the scan has no such track
    isrc_status status = isrc_status::unknown;
    std::optional<std::string> isrc;
};

struct track_report {
    int number = 0;
    bool readable = true;               // false: a number no frame was read of
    std::optional<int> control;         // the CONTROL nibble of its position frames
    bool scms = false;                  // its copy bit alternates
    std::optional<int64_t> index00_lba; // start of its pause, if it has one
    std::optional<int64_t> index01_lba;
    std::vector<index_mark> indexes; // every index read, 00 to 99
    isrc_status status = isrc_status::unknown;
    std::optional<code_seen> isrc;              // its own code
    bool isrc_in_pause = false;                 // read only in its pause
    uint64_t good_frames = 0;                   // good frames read from index 01 on
    std::optional<double> expected_isrc_frames; // none or unknown: at the disc's density
    std::vector<std::string> tied;              // ambiguous: the codes on equal counts
    std::vector<code_seen> other_isrcs;
    std::vector<code_seen> pause_isrcs;
    std::optional<uint64_t> damaged;     // damaged frames within the track
    size_t scans_alone = 1;              // scans that alone reached this verdict
    std::vector<scan_verdict> otherwise; // those that did not, and what they said
};

// Index 00 of track 1 from LBA 0: a track before track 1.
struct hidden_track {
    int64_t lba = 0;
    uint64_t sectors = 0;
    std::optional<code_seen> isrc;
};

struct mcn_report {
    std::optional<code_seen> value; // none on a tie
    bool check_digit_valid = false;
    bool rival = false; // a second valid number on more than a few frames
    std::vector<code_seen> others;
};

struct slip {
    uint64_t sector; // the sector read where the new offset begins
    int64_t offset;
    int64_t previous;
};

// A run of damaged frames, by the sectors they were read at.
struct sector_run {
    uint64_t first;
    uint64_t count;
};

struct drive_report {
    std::optional<int64_t> q_offset; // the usual offset; none without position frames
    double q_offset_share = 0;
    uint64_t position_frames = 0;
    std::vector<slip> slips; // the first MAX_SLIPS
    uint64_t slip_count = 0;
    uint64_t not_bcd = 0; // position frames whose CRC holds but not their BCD
    bool usable_q = true;
};

// A finding is data: its kind, its track and named values; the writers word
// it.
using finding_value =
    std::variant<int64_t, std::string, std::vector<std::string>, bool, std::vector<int64_t>>;

struct finding {
    std::string kind;
    int track = 0; // 0: the disc
    std::vector<std::pair<std::string, finding_value>> values = {};

    // The value of that name; 0, "" or an empty list when it has none.
    int64_t number(const std::string &name) const;
    std::string text(const std::string &name) const;
    std::vector<std::string> list(const std::string &name) const;
    bool flag(const std::string &name) const;
    std::vector<int64_t> numbers(const std::string &name) const;
};

struct frame_counts {
    uint64_t good = 0;
    uint64_t crc_error = 0;
    uint64_t data_error = 0;
    uint64_t unknown_mode = 0;
    uint64_t all_zero = 0; // among the CRC errors: twelve zero bytes
    uint64_t lead_in = 0;  // among the good: a lead-in's table of contents
    uint64_t catalog = 0;  // among the good: catalog frames (mode 2)
    uint64_t isrc = 0;     // among the good: ISRC frames (mode 3)
};

// The disc for the picture: a fixed number of bins of read sectors, each
// with its damaged frames, catalog frames and ISRC frames by their kind.
struct picture_bin {
    uint32_t damaged = 0;
    uint32_t catalog = 0;
    uint32_t own = 0;       // ISRC frames of the track's own code
    uint32_t neighbour = 0; // carried over or early
    uint32_t wrong = 0;     // conflicting or invalid
};

constexpr size_t PICTURE_BINS = 1024;

struct disc_picture {
    uint64_t sectors_per_bin = 75; // a second of disc time, doubled as the disc needs
    std::vector<picture_bin> bins;
};

// The disc against its master's CUE sheet.
// A value as the sheet has it or as it was read: a code, a status, or frames.
using expect_value = std::variant<std::monostate, std::string, int64_t>;

struct expect_mismatch {
    std::optional<int> track; // none: the disc
    std::string field;        // tracks, isrc, catalog, flags, index, pause
    std::optional<int> index; // for an index
    expect_value expected, read;
};

// One row of the comparison for people.
struct expect_row {
    int track = 0;
    std::optional<std::string> expected_isrc;
    std::string read_isrc;               // the code, or none, unknown, ambiguous
    std::optional<int64_t> start_offset; // read minus expected, in frames
    bool matches = true;
    bool uncompared = false; // a data track past the scan (a second session)
};

struct expect_result {
    std::string file;
    std::vector<expect_row> rows;
    std::vector<expect_mismatch> mismatches;
    bool match() const { return mismatches.empty(); }
};

// The table of contents of a dump's lead-in.
struct lead_in_toc {
    int first = 0, last = 0; // track numbers; 0 where not read
    struct entry {
        int number = 0;
        int64_t lba = 0;
        std::optional<int> control;
    };
    std::vector<entry> tracks;
    std::optional<int64_t> leadout;
};

// The disc's identifiers as the layout gives them, or why there are none.
struct ids_report {
    std::optional<disc_ids> ids;
    int64_t leadout = 0;          // the lead-out they take
    bool leadout_assumed = false; // none was read: the sector after the last one read
    finding reason;               // without ids: its kind, track and values
};

// How often this disc carries an ISRC frame (density.cpp).
struct isrc_density {
    uint64_t isrc_frames = 0, good_frames = 0; // on the tracks with their own code
    uint32_t widest_gap = 0; // the most good frames in a row between two ISRC frames there

    // ISRC frames per good frame, DENSITY_DEVIATIONS standard deviations
    // below the measured share: 0 on too few frames to tell.
    double per_frame() const;
    // The ISRC frames a code at that density shows on so many good frames.
    double expected(uint64_t good) const { return per_frame() * static_cast<double>(good); }
    // Good frames in a row without an ISRC frame that show a track has none:
    // the Red Book's stretch, or more on a disc whose codes lie further apart.
    uint32_t clean_run_needed() const;
};

// One scan judged on its own, in brief.
struct scan_summary {
    std::vector<std::string> files;
    bool from_raw = false;
    int64_t first_lba = 0;
    uint64_t sectors = 0;
    frame_counts frames;
    drive_report drive;
    disc_picture picture;
    struct track {
        int number = 0;
        isrc_status status = isrc_status::unknown;
        std::optional<std::string> isrc;
    };
    std::vector<track> tracks;
};

struct disc_report {
    bool from_raw = false; // false: from ISRC and catalog lines only
    int64_t first_lba = 0; // the LBA of the first sector read
    uint64_t sectors = 0;
    frame_counts frames;
    std::optional<mcn_report> mcn;
    std::vector<track_report> tracks;
    std::optional<hidden_track> hidden;
    std::optional<int64_t> leadout_lba;
    std::optional<lead_in_toc> lead_in; // a dump that holds the lead-in
    drive_report drive;
    disc_picture picture;
    std::vector<finding> findings;
    std::optional<expect_result> expect; // with --expect
    ids_report ids;
    isrc_density density;
    std::vector<scan_summary> scans; // each scan alone, in the order given
};

// ISO 3901: country (2 letters), registrant (3 letters or digits), year (2
// digits), designation (5 digits). All zeros: a placeholder.
code_validity isrc_validity(const std::string &isrc);

// 13 digits of a GTIN-13 whose last is its check digit.
bool mcn_check_digit_holds(const std::string &mcn);
code_validity mcn_validity(const std::string &mcn);

// "GB-AYE-69-00123", grouped as qscan prints it.
std::string grouped_isrc(const std::string &isrc);

const char *kind_name(code_kind kind); // carried_over, early, conflicting

// "check digit holds", "check digit fails", "not all digits" or "an all-zero
// placeholder"; "a tie" without a value.
const char *mcn_verdict(const mcn_report &mcn);

// A catalog number that may go into a CUE sheet: a valid GTIN-13.
bool mcn_usable(const std::string &mcn);

// The CUE sheet's FLAGS a CONTROL nibble stands for, as DCP, 4CH, PRE.
std::vector<std::string> control_flags(int control);

// "1 frame", "2 frames".
std::string counted(uint64_t n, const char *one, const char *many);

// An LBA as minutes:seconds.frames of disc time (LBA 0 is 00:02.00), and a
// count of frames as a duration.
std::string disc_time(int64_t lba);
std::string duration(uint64_t frames);

} // namespace report
