// Reading qscan's output: every line it can print, in any mix of its
// options, with LF or CRLF line ends, as ASCII or behind a byte-order mark
// (UTF-8, or UTF-16 as Windows PowerShell's '>' writes it). Raw lines go to
// the analysis as sectors, ISRC and catalog lines as code lines; the rest is
// checked and passed over.
#pragma once

#include "report/scans.h"

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace report {

// One line without its line end.
enum class line_kind { raw, catalog, recording, other, usage, unknown };

struct parsed_line {
    line_kind kind = line_kind::unknown;
    uint8_t q[SUBCHANNEL_Q_SIZE] = {}; // raw
    timing position{};                 // catalog, recording, -t: the running position
    bool positioned = false;           // position holds one
    std::optional<uint64_t> sector;    // -e: the sector read
    std::string code;                  // catalog: 13 characters; recording: 12, no dashes
};

parsed_line parse_line(const char *text, size_t length);

// Within this many sectors, a file whose positions lie before where the
// last one ended still carries it on: a drive's Q offset shifts by a few
// sectors now and then.
constexpr int64_t CONTINUATION_SLACK = 10;

// Whether each file carries the scan on where the last one ended, judged
// from what its lines say; a file that starts the disc again is a second
// scan. Every check errs towards a continuation.
class continuity {
  public:
    void new_file();
    // Each returns false when the line shows the disc started again.
    bool raw(const uint8_t q[SUBCHANNEL_Q_SIZE]);
    bool reading(int64_t lba);          // a position a line printed
    bool error_sector(uint64_t sector); // an -e line's read sector
    // This file's lines have shown whether it carries on: its first raw
    // lines and printed positions have been checked.
    bool settled() const { return !check_raw_ && !ended_; }

  private:
    // Raw lines: two position frames agreeing on their offset from the
    // sector read are trusted; a lone frame may name any time.
    static constexpr uint64_t ENDING_FRAMES = 32;
    static std::optional<int64_t> offset_of(const uint8_t q[SUBCHANNEL_Q_SIZE], uint64_t sector);
    uint64_t sectors_ = 0;
    uint8_t ending_[ENDING_FRAMES][SUBCHANNEL_Q_SIZE] = {}; // the last frames read
    std::optional<int64_t> last_offset_;                    // this file's last position frame
    int64_t offset_ = 0; // where the files before ended; qscan starts at LBA 0
    bool check_raw_ = false;
    // Printed positions: the first two of a file against the lesser of the
    // last two before it.
    int64_t recent_[2] = {};
    int recent_count_ = 0;
    std::optional<int64_t> ended_; // before this file; reset once it carries on
    int before_ = 0;               // readings of this file before ended_
    // -e lines count sectors from 0 in every scan.
    uint64_t next_sector_ = 0;
    uint64_t boundary_ = 0;
};

// What to say of a file of bytes no text holds: a sub-channel dump, and how
// it is read.
std::string looks_like_a_dump(const std::string &name);

// Reads scans from one file or several, in order: a file may end inside a
// line that the next one finishes, and a file that starts the disc again
// begins a new scan. A file's first lines are held until they show which.
class scan_reader {
  public:
    // progress is called every few dozen lines.
    scan_reader(scan_target &into, std::function<void()> progress)
        : into_(into), progress_(std::move(progress)), buffer_(1 << 16) {}

    // Feeds every line of file into the analysis. "" when all went in, else
    // what is wrong, naming the file (name) and the line.
    std::string read(FILE *file, const std::string &name);

    // After the last file: a last line cut short is taken for what it says.
    // "" or what is wrong.
    std::string finish();

    uint64_t lines() const { return lines_; }     // lines that went in
    bool truncated() const { return truncated_; } // the input ended inside a line

  private:
    // A file's lines held at most while they have not shown whether it
    // carries the scan on; then it does.
    static constexpr size_t MAX_HELD_LINES = 1024;

    std::string take_lines();
    std::string hold(const parsed_line &line, bool carries_on);
    std::string release(bool new_scan);
    void deliver(const parsed_line &line);
    std::string take_apart(const char *text, size_t length, size_t joined);
    std::string take(const char *text, size_t length, bool cut);

    scan_target &into_;
    std::function<void()> progress_;
    std::vector<char> buffer_;
    size_t held_ = 0; // decoded bytes of lines not yet taken
    size_t kept_ = 0; // undecoded bytes right after them
    std::string name_;
    uint64_t number_ = 0; // the line within the file
    uint64_t lines_ = 0;
    size_t joined_ = 0;       // the last file's unended line, before this file's first
    bool half_unit_ = false;  // a UTF-16 file ended inside a character
    bool cut_inside_ = false; // a file before the last ended inside a line
    bool truncated_ = false;
    continuity continuity_;
    uint64_t files_ = 0;
    bool holding_ = false;
    std::vector<parsed_line> held_lines_;
};

} // namespace report
