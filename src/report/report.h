// qscan-report's picture of a disc: what a scan's output says about each
// track's ISRC, the catalog number and the drive, worked out by the analysis
// and printed by the writers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace report {

// Frames within this distance of a track's start or end may carry a
// neighbour's code: drives go on sending the previous ISRC for a few frames,
// and some send the next one a little early.
constexpr int64_t NEAR_BOUNDARY_FRAMES = 150; // two seconds

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

struct track_report {
    int number = 0;
    std::optional<int> control;         // the CONTROL nibble of its position frames
    std::optional<int64_t> index00_lba; // start of its pause, if it has one
    std::optional<int64_t> index01_lba;
    std::optional<code_seen> isrc; // the code most of its frames carry
    std::vector<code_seen> other_isrcs;
    std::vector<code_seen> pause_isrcs;
    std::optional<uint64_t> damaged; // damaged frames within the track
};

struct mcn_report {
    code_seen value;
    bool check_digit_valid = false;
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
    std::vector<slip> slips;
    bool usable_q = true;
};

struct finding {
    std::string kind;
    int track = 0; // 0: the disc
    std::string text;
};

struct frame_counts {
    uint64_t good = 0;
    uint64_t crc_error = 0;
    uint64_t data_error = 0;
    uint64_t unknown_mode = 0;
    uint64_t all_zero = 0; // among the CRC errors: twelve zero bytes
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

struct disc_report {
    bool from_raw = false; // false: from ISRC and catalog lines only
    uint64_t sectors = 0;
    frame_counts frames;
    std::optional<mcn_report> mcn;
    std::vector<track_report> tracks;
    std::optional<int64_t> leadout_lba;
    drive_report drive;
    disc_picture picture;
    std::vector<finding> findings;
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
// placeholder".
const char *mcn_verdict(const mcn_report &mcn);

// "1 frame", "2 frames".
std::string counted(uint64_t n, const char *one, const char *many);

// An LBA as minutes:seconds.frames of disc time (LBA 0 is 00:02.00), and a
// count of frames as a duration.
std::string disc_time(int64_t lba);
std::string duration(uint64_t frames);

} // namespace report
