#include "report/input.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace report {

namespace {

// Walks one line, matching the pieces of qscan's formats exactly as its
// printf calls write them.
// In prefix mode, running out of text matches whatever was still to come:
// the line was cut short there.
class cursor {
  public:
    cursor(const char *text, size_t length, bool prefix)
        : at_(text), end_(text + length), prefix_(prefix) {}

    bool done() const { return at_ == end_; }

    bool literal(const char *text) {
        const size_t length = std::strlen(text), left = static_cast<size_t>(end_ - at_);
        if (left < length) {
            const bool cut = prefix_ && std::memcmp(at_, text, left) == 0;
            at_ = cut ? end_ : at_;
            return cut;
        }
        if (std::memcmp(at_, text, length) != 0) {
            return false;
        }
        at_ += length;
        return true;
    }

    // A decimal number as %d or %llu prints it: no sign, no leading zero.
    bool number(uint64_t *value, int max_digits) {
        const char *start = at_;
        uint64_t v = 0;
        while (at_ < end_ && is_digit(*at_) && at_ - start < max_digits) {
            v = v * 10 + static_cast<uint64_t>(*at_++ - '0');
        }
        const long digits = at_ - start;
        *value = v;
        if (digits > 1 && *start == '0') {
            return false;
        }
        return cut() || (digits > 0 && !(at_ < end_ && is_digit(*at_)));
    }

    // %2d of a value below 256: right-aligned in two columns (" 1", "12",
    // "110").
    bool right_aligned(uint8_t *value) {
        const bool blank = at_ < end_ && *at_ == ' ';
        at_ += blank ? 1 : 0;
        uint64_t v = 0;
        if (!number(&v, 3) || v > 255) {
            return false;
        }
        *value = static_cast<uint8_t>(v);
        return cut() || blank == (v < 10);
    }

    // %02d of a value below 256: two digits at least ("07", "42", "123").
    bool zero_padded(uint8_t *value) {
        const char *start = at_;
        uint64_t v = 0;
        while (at_ < end_ && is_digit(*at_) && at_ - start < 3) {
            v = v * 10 + static_cast<uint64_t>(*at_++ - '0');
        }
        const long digits = at_ - start;
        *value = static_cast<uint8_t>(v);
        if ((digits == 3 && *start == '0') || v > 255) {
            return false;
        }
        return cut() || (digits >= 2 && !(at_ < end_ && is_digit(*at_)));
    }

    // Characters from low to high, count of them.
    bool characters(char low, char high, int count, std::string *out) {
        const int there = end_ - at_ < count ? static_cast<int>(end_ - at_) : count;
        for (int i = 0; i < there; ++i) {
            if (at_[i] < low || at_[i] > high) {
                return false;
            }
        }
        out->append(at_, static_cast<size_t>(there));
        at_ += there;
        return there == count || cut();
    }

  private:
    static bool is_digit(char c) { return c >= '0' && c <= '9'; }
    bool cut() const { return prefix_ && at_ == end_; }

    const char *at_;
    const char *end_;
    bool prefix_;
};

// "%02d:%02d.%02d" of a time the scan keeps in range.
bool time_field(cursor &c, msf *time) {
    return c.zero_padded(&time->m) && c.literal(":") && c.zero_padded(&time->s) && time->s < 60 &&
           c.literal(".") && c.zero_padded(&time->f) && time->f < 75;
}

// "%2d.%02d %02d:%02d.%02d %02d:%02d.%02d"
bool position_field(cursor &c, timing *p) {
    return c.right_aligned(&p->track) && c.literal(".") && c.zero_padded(&p->index) &&
           c.literal(" ") && time_field(c, &p->rel) && c.literal(" ") && time_field(c, &p->abs);
}

// Thirteen catalog digits: nibbles, '0' to '?'.
bool catalog_field(cursor &c, std::string *code) {
    return c.characters('0', '?', 13, code);
}

// "%c%c-%c%c%c-%c%c-%c%c%c%c%c": five six-bit characters ('0' to 'o') and
// seven digit nibbles ('0' to '?').
bool recording_field(cursor &c, std::string *code) {
    std::string letters;
    return c.characters('0', 'o', 2, &letters) && c.literal("-") &&
           c.characters('0', 'o', 3, &letters) && c.literal("-") &&
           c.characters('0', '?', 2, &letters) && c.literal("-") &&
           c.characters('0', '?', 5, &letters) && (*code = letters, true);
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// "%02x " twelve times: two lower-case hex digits and a blank each.
bool raw_line(const char *text, size_t length, uint8_t q[SUBCHANNEL_Q_SIZE], bool prefix) {
    // An editor may have stripped the last blank.
    const bool whole = length == 3 * SUBCHANNEL_Q_SIZE || length == 3 * SUBCHANNEL_Q_SIZE - 1;
    if (length > 3 * SUBCHANNEL_Q_SIZE || (!whole && !prefix)) {
        return false;
    }
    for (size_t i = 0; i < length; ++i) {
        if (i % 3 == 2 ? text[i] != ' ' : hex_digit(text[i]) < 0) {
            return false;
        }
    }
    for (size_t i = 0; 3 * i + 1 < length; ++i) {
        q[i] = static_cast<uint8_t>(hex_digit(text[3 * i]) << 4 | hex_digit(text[3 * i + 1]));
    }
    return true;
}

// A -p line: the mode, then the frame's own fields.
bool frame_line(const char *text, size_t length, bool prefix) {
    cursor c(text, length, prefix);
    timing position;
    std::string code;
    uint64_t value = 0;
    if (c.literal("1 ")) {
        return position_field(c, &position) && c.done();
    }
    if (c.literal("2 ")) {
        return catalog_field(c, &code) && c.literal(" ") && c.number(&value, 2) && value < 75 &&
               c.done();
    }
    if (c.literal("3 ")) {
        return recording_field(c, &code) && c.literal(" ") && c.number(&value, 2) && value < 75 &&
               c.done();
    }
    cursor unknown(text, length, prefix);
    return unknown.number(&value, 2) && (value == 0 || (value >= 4 && value <= 15)) &&
           unknown.literal(" unknown mode") && unknown.done();
}

bool error_line(const char *text, size_t length, bool prefix, uint64_t *sector) {
    cursor c(text, length, prefix);
    return (c.literal("subchannel crc error in sector ") ||
            c.literal("subchannel data error in sector ")) &&
           c.number(sector, 10) && *sector <= UINT32_MAX && c.done();
}

// In prefix mode the kind is that of some line the text begins.
parsed_line parse(const char *text, size_t length, bool prefix) {
    parsed_line line;
    if (raw_line(text, length, line.q, prefix)) {
        line.kind = line_kind::raw;
        return line;
    }
    cursor c(text, length, prefix);
    if (position_field(c, &line.position)) {
        line.positioned = true;
        if (c.done()) {
            line.kind = line_kind::other; // -t
        } else if (c.literal(" : ")) {
            cursor code = c; // the code, whichever kind it is
            if (catalog_field(code, &line.code) && code.done()) {
                line.kind = line_kind::catalog;
            } else {
                line.code.clear();
                if (recording_field(c, &line.code) && c.done()) {
                    line.kind = line_kind::recording;
                }
            }
        }
        return line;
    }
    uint64_t sector = 0;
    if (error_line(text, length, prefix, &sector)) {
        line.kind = line_kind::other;
        line.sector = sector;
        return line;
    }
    if (frame_line(text, length, prefix)) {
        line.kind = line_kind::other;
        return line;
    }
    static const char usage_start[] = "Usage: ";
    static const char usage_end[] = " [-r] [-p] [-t] [-c] [-i] [-e]  device";
    const size_t start = sizeof usage_start - 1, end = sizeof usage_end - 1;
    if (length >= start + end && std::memcmp(text, usage_start, start) == 0 &&
        std::memcmp(text + length - end, usage_end, end) == 0) {
        line.kind = line_kind::usage;
    }
    return line;
}

long read_some(FILE *file, char *into, size_t size) {
    for (;;) {
#ifdef _WIN32
        const long got = _read(_fileno(file), into, static_cast<unsigned>(size));
#else
        const long got = static_cast<long>(read(fileno(file), into, size));
#endif
        if (got >= 0 || errno != EINTR) {
            return got;
        }
    }
}

// A line's length without the CR of a CRLF line end.
size_t without_cr(const char *text, size_t length) {
    return length > 0 && text[length - 1] == '\r' ? length - 1 : length;
}

std::string shown(const char *text, size_t length) {
    std::string line(text, length < 60 ? length : 60);
    for (char &ch : line) {
        if (static_cast<unsigned char>(ch) < 0x20 || static_cast<unsigned char>(ch) > 0x7E) {
            ch = '?';
        }
    }
    return length > 60 ? line + "..." : line;
}

// A file's bytes as the ASCII of qscan's lines, by the byte-order mark it
// begins with. Decoded in place: UTF-16 takes two bytes a character.
class decoder {
  public:
    struct result {
        size_t text; // ASCII bytes now at the start
        size_t kept; // undecoded bytes right after them, for the next call
    };

    // data holds what the last call kept, then what came since.
    result decode(char *data, size_t size, bool at_end) {
        if (form_ == form::undecided && !decide(data, &size, at_end)) {
            return {0, size};
        }
        if (form_ == form::plain) {
            return {size, 0};
        }
        const size_t units = size / 2;
        for (size_t i = 0; i < units; ++i) {
            const auto first = static_cast<unsigned char>(data[2 * i]),
                       second = static_cast<unsigned char>(data[2 * i + 1]);
            const unsigned unit =
                form_ == form::utf16le ? first | second << 8 : first << 8 | second;
            data[i] = unit < 0x80 ? static_cast<char>(unit) : '\x80'; // no character qscan prints
        }
        if (size % 2 != 0) {
            data[units] = data[size - 1];
        }
        return {units, size % 2};
    }

  private:
    enum class form { undecided, plain, utf16le, utf16be };

    // Strips the mark; false while the bytes so far could still begin one.
    bool decide(char *data, size_t *size, bool at_end) {
        static const struct {
            const char *mark;
            size_t length;
            form is;
        } marks[] = {{"\xEF\xBB\xBF", 3, form::plain},
                     {"\xFF\xFE", 2, form::utf16le},
                     {"\xFE\xFF", 2, form::utf16be}};
        for (const auto &m : marks) {
            const size_t compared = std::min(*size, m.length);
            if (std::memcmp(data, m.mark, compared) != 0) {
                continue;
            }
            if (compared < m.length) {
                if (!at_end) {
                    return false;
                }
                continue;
            }
            form_ = m.is;
            *size -= m.length;
            std::memmove(data, data + m.length, *size);
            return true;
        }
        form_ = form::plain;
        return true;
    }

    form form_ = form::undecided;
};

} // namespace

parsed_line parse_line(const char *text, size_t length) {
    return parse(text, length, false);
}

// A position frame's offset from the sector it was read at.
std::optional<int64_t> continuity::offset_of(const uint8_t q[SUBCHANNEL_Q_SIZE], uint64_t sector) {
    subq frame;
    if (subchannel_decode_q(q, &frame) != 0 || subq_mode(&frame) != 1) {
        return std::nullopt;
    }
    return analysis::lba_of(frame.position.abs) - static_cast<int64_t>(sector);
}

void continuity::new_file() {
    // Where the last file ended: its last two position frames that agree.
    // Only these few frames are decoded, and the first of the next file.
    std::optional<int64_t> later;
    for (uint64_t back = 1; back <= std::min<uint64_t>(sectors_, ENDING_FRAMES); ++back) {
        const uint64_t sector = sectors_ - back;
        const std::optional<int64_t> offset = offset_of(ending_[sector % ENDING_FRAMES], sector);
        if (offset && offset == later) {
            offset_ = *offset;
            break;
        }
        later = offset ? offset : later;
    }
    check_raw_ = sectors_ > 0;
    last_offset_.reset();
    if (recent_count_ > 0) {
        ended_ = recent_count_ == 1 ? recent_[1] : std::min(recent_[0], recent_[1]);
    }
    before_ = 0;
    boundary_ = std::max(next_sector_, sectors_);
}

bool continuity::raw(const uint8_t q[SUBCHANNEL_Q_SIZE]) {
    const uint64_t sector = sectors_++;
    std::memcpy(ending_[sector % ENDING_FRAMES], q, SUBCHANNEL_Q_SIZE);
    const std::optional<int64_t> offset = check_raw_ ? offset_of(q, sector) : std::nullopt;
    if (!offset) {
        return true;
    }
    if (last_offset_ == offset) {
        if (*offset < offset_ - CONTINUATION_SLACK) {
            return false;
        }
        check_raw_ = false;
    }
    last_offset_ = offset;
    return true;
}

bool continuity::reading(int64_t lba) {
    recent_[0] = recent_[1];
    recent_[1] = lba;
    recent_count_ = std::min(recent_count_ + 1, 2);
    if (!ended_) {
        return true;
    }
    if (lba >= *ended_ - CONTINUATION_SLACK) {
        ended_.reset();
        return true;
    }
    return ++before_ < 2;
}

bool continuity::error_sector(uint64_t sector) {
    const bool carries_on = sector >= boundary_;
    boundary_ = 0;
    next_sector_ = sector + 1;
    return carries_on;
}

std::string scan_reader::read(FILE *file, const std::string &name) {
    name_ = name;
    number_ = 0;
    joined_ = held_;
    continuity_.new_file();
    holding_ = files_++ > 0;
    if (!holding_) {
        const std::string error = into_.next_file(name, false);
        if (!error.empty()) {
            return error;
        }
    }
    decoder bytes;
    kept_ = 0;
    for (bool at_end = false; !at_end;) {
        // Whatever has come: a live scan's lines arrive a few at a time.
        const long got =
            read_some(file, buffer_.data() + held_ + kept_, buffer_.size() - held_ - kept_);
        if (got < 0) {
            return name + ": cannot be read";
        }
        at_end = got == 0;
        const decoder::result r =
            bytes.decode(buffer_.data() + held_, kept_ + static_cast<size_t>(got), at_end);
        held_ += r.text;
        kept_ = r.kept;
        half_unit_ = at_end && kept_ > 0;
        const std::string error = take_lines();
        if (!error.empty()) {
            return error;
        }
        // A line longer than the buffer is none of qscan's.
        if (held_ + kept_ == buffer_.size()) {
            return name + ":" + std::to_string(number_ + 1) + ": not a line qscan prints";
        }
    }
    return holding_ ? release(false) : "";
}

// Every ended line held; the rest of the last stays at the start.
std::string scan_reader::take_lines() {
    size_t from = 0;
    while (const void *newline = std::memchr(buffer_.data() + from, '\n', held_ - from)) {
        const char *text = buffer_.data() + from;
        const size_t length = static_cast<size_t>(static_cast<const char *>(newline) - text);
        from += length + 1;
        const size_t joined = from == length + 1 ? joined_ : 0;
        joined_ = 0;
        const std::string error =
            joined == 0 || parse_line(text, without_cr(text, length)).kind != line_kind::unknown
                ? take(text, length, false)
                : take_apart(text, length, joined);
        if (!error.empty()) {
            return error;
        }
    }
    held_ -= from;
    std::memmove(buffer_.data(), buffer_.data() + from, held_ + kept_);
    return "";
}

// A line the last file began and this one does not carry on: the last was
// cut short, and this file's first line is a line of its own.
std::string scan_reader::take_apart(const char *text, size_t length, size_t joined) {
    cut_inside_ = true;
    const std::string error = take(text, joined, true);
    return !error.empty() ? error : take(text + joined, length - joined, false);
}

std::string scan_reader::finish() {
    truncated_ = held_ > 0 || half_unit_ || cut_inside_;
    const std::string error = held_ > 0 ? take(buffer_.data(), held_, true) : "";
    held_ = 0;
    return error;
}

std::string looks_like_a_dump(const std::string &name) {
    return name + ": looks like a sub-channel dump, not qscan's output: a deinterleaved dump is "
                  "read when its name ends in .sub, a raw interleaved one with --raw-pw";
}

// One line; cut: the input ended inside it, so any start of a line qscan
// prints will do, and only a whole one goes in.
std::string scan_reader::take(const char *text, size_t length, bool cut) {
    const size_t kept = without_cr(text, length);
    ++number_;
    // Blank lines, and the notes users add (the drive, the date), say
    // nothing of the disc.
    if (kept == 0 || text[0] == '#') {
        return "";
    }
    const parsed_line line = parse(text, kept, false);
    if (line.kind == line_kind::unknown && cut &&
        parse(text, kept, true).kind != line_kind::unknown) {
        return "";
    }
    // Built only for a line that is wrong: most are not.
    auto where = [&] { return name_ + ":" + std::to_string(number_) + ": "; };
    if (line.kind == line_kind::usage) {
        return where() + "qscan's usage line: that run scanned no disc";
    }
    // A pipe cannot be looked into before it is read: a dump through one
    // shows itself here, by bytes no text holds.
    if (line.kind == line_kind::unknown && number_ == 1 &&
        std::any_of(text, text + kept, [](char c) {
            return static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != 0; // not UTF-16
        })) {
        return looks_like_a_dump(name_);
    }
    if (line.kind == line_kind::unknown) {
        return where() + "not a line qscan prints: '" + shown(text, kept) + "'";
    }
    const bool carries_on =
        (line.kind != line_kind::raw || continuity_.raw(line.q)) &&
        (!line.positioned || continuity_.reading(analysis::lba_of(line.position.abs))) &&
        (!line.sector || continuity_.error_sector(*line.sector));
    if (++lines_ % 64 == 0 && progress_) {
        progress_();
    }
    if (holding_) {
        return hold(line, carries_on);
    }
    if (!carries_on) {
        return name_ + ": starts the disc again after its first lines carried the scan on: "
                       "split the files where each scan begins";
    }
    deliver(line);
    return "";
}

std::string scan_reader::hold(const parsed_line &line, bool carries_on) {
    held_lines_.push_back(line);
    if (!carries_on) {
        return release(true);
    }
    return continuity_.settled() || held_lines_.size() >= MAX_HELD_LINES ? release(false) : "";
}

// The held lines into the scan this file carries on, or into a new one.
std::string scan_reader::release(bool new_scan) {
    holding_ = false;
    const std::string error = into_.next_file(name_, new_scan);
    if (!error.empty()) {
        return error;
    }
    if (new_scan) {
        // The new scan's own account of where it has got to.
        continuity_ = continuity();
        for (const parsed_line &line : held_lines_) {
            if (line.kind == line_kind::raw) {
                continuity_.raw(line.q);
            }
            if (line.positioned) {
                continuity_.reading(analysis::lba_of(line.position.abs));
            }
            if (line.sector) {
                continuity_.error_sector(*line.sector);
            }
        }
    }
    for (const parsed_line &line : held_lines_) {
        deliver(line);
    }
    held_lines_.clear();
    return "";
}

void scan_reader::deliver(const parsed_line &line) {
    if (line.kind == line_kind::raw) {
        into_.add_sector(line.q);
    } else if (line.kind != line_kind::other) {
        into_.add_code_line(line.kind == line_kind::catalog, line.position, line.code);
    }
}

} // namespace report
