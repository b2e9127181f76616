#include "report/input.h"

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
class cursor {
  public:
    cursor(const char *text, size_t length) : at_(text), end_(text + length) {}

    bool done() const { return at_ == end_; }

    bool literal(const char *text) {
        const size_t length = std::strlen(text);
        if (static_cast<size_t>(end_ - at_) < length || std::memcmp(at_, text, length) != 0) {
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
        if (digits == 0 || (digits > 1 && *start == '0') || (at_ < end_ && is_digit(*at_))) {
            return false;
        }
        *value = v;
        return true;
    }

    // %2d of a value below 256: right-aligned in two columns (" 1", "12",
    // "110").
    bool right_aligned(uint8_t *value) {
        const bool blank = at_ < end_ && *at_ == ' ';
        at_ += blank ? 1 : 0;
        uint64_t v = 0;
        if (!number(&v, 3) || v > 255 || blank != (v < 10)) {
            return false;
        }
        *value = static_cast<uint8_t>(v);
        return true;
    }

    // %02d of a value below 256: two digits at least ("07", "42", "123").
    bool zero_padded(uint8_t *value) {
        const char *start = at_;
        uint64_t v = 0;
        while (at_ < end_ && is_digit(*at_) && at_ - start < 3) {
            v = v * 10 + static_cast<uint64_t>(*at_++ - '0');
        }
        const long digits = at_ - start;
        if (digits < 2 || (digits == 3 && *start == '0') || v > 255 ||
            (at_ < end_ && is_digit(*at_))) {
            return false;
        }
        *value = static_cast<uint8_t>(v);
        return true;
    }

    // Characters from low to high, count of them.
    bool characters(char low, char high, int count, std::string *out) {
        if (end_ - at_ < count) {
            return false;
        }
        for (int i = 0; i < count; ++i) {
            if (at_[i] < low || at_[i] > high) {
                return false;
            }
        }
        out->append(at_, static_cast<size_t>(count));
        at_ += count;
        return true;
    }

  private:
    static bool is_digit(char c) { return c >= '0' && c <= '9'; }

    const char *at_;
    const char *end_;
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
bool raw_line(const char *text, size_t length, uint8_t q[SUBCHANNEL_Q_SIZE]) {
    if (length != 3 * SUBCHANNEL_Q_SIZE) {
        return false;
    }
    for (int i = 0; i < SUBCHANNEL_Q_SIZE; ++i) {
        const int high = hex_digit(text[3 * i]), low = hex_digit(text[3 * i + 1]);
        if (high < 0 || low < 0 || text[3 * i + 2] != ' ') {
            return false;
        }
        q[i] = static_cast<uint8_t>(high << 4 | low);
    }
    return true;
}

// A -p line: the mode, then the frame's own fields.
bool frame_line(const char *text, size_t length) {
    cursor c(text, length);
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
    cursor unknown(text, length);
    return unknown.number(&value, 2) && (value == 0 || (value >= 4 && value <= 15)) &&
           unknown.literal(" unknown mode") && unknown.done();
}

bool error_line(const char *text, size_t length) {
    cursor c(text, length);
    uint64_t sector = 0;
    return (c.literal("subchannel crc error in sector ") ||
            c.literal("subchannel data error in sector ")) &&
           c.number(&sector, 10) && sector <= UINT32_MAX && c.done();
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

std::string shown(const char *text, size_t length) {
    std::string line(text, length < 60 ? length : 60);
    for (char &ch : line) {
        if (static_cast<unsigned char>(ch) < 0x20 || static_cast<unsigned char>(ch) > 0x7E) {
            ch = '?';
        }
    }
    return length > 60 ? line + "..." : line;
}

} // namespace

parsed_line parse_line(const char *text, size_t length) {
    parsed_line line;
    if (raw_line(text, length, line.q)) {
        line.kind = line_kind::raw;
        return line;
    }
    cursor c(text, length);
    if (position_field(c, &line.position)) {
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
    if (frame_line(text, length) || error_line(text, length)) {
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

std::string read_qscan_output(FILE *file, const std::string &name, analysis &into,
                              const std::function<void()> &progress, uint64_t *lines) {
    std::vector<char> buffer(1 << 16);
    size_t held = 0;
    uint64_t number = 0;
    bool at_end = false;
    while (!at_end) {
        // Whatever has come: a live scan's lines arrive a few at a time.
        const long got = read_some(file, buffer.data() + held, buffer.size() - held);
        if (got < 0) {
            return name + ": cannot be read";
        }
        held += static_cast<size_t>(got);
        at_end = got == 0;
        size_t from = 0;
        while (true) {
            const void *newline = std::memchr(buffer.data() + from, '\n', held - from);
            size_t length;
            if (newline != nullptr) {
                length = static_cast<size_t>(static_cast<const char *>(newline) -
                                             (buffer.data() + from));
            } else if (at_end && held > from) {
                length = held - from; // a last line without its line end
            } else {
                break;
            }
            const char *text = buffer.data() + from;
            from += length + (newline != nullptr ? 1 : 0);
            const size_t kept = length > 0 && text[length - 1] == '\r' ? length - 1 : length;
            ++number;
            ++*lines;
            const parsed_line line = parse_line(text, kept);
            switch (line.kind) {
            case line_kind::raw:
                into.add_sector(line.q);
                break;
            case line_kind::catalog:
            case line_kind::recording:
                into.add_code_line(line.kind == line_kind::catalog, line.position, line.code);
                break;
            case line_kind::other:
                break;
            case line_kind::usage:
                return name + ":" + std::to_string(number) +
                       ": qscan's usage line: that run scanned no disc";
            case line_kind::unknown:
                return name + ":" + std::to_string(number) + ": not a line qscan prints: '" +
                       shown(text, kept) + "'";
            }
            if (number % 64 == 0 && progress) {
                progress();
            }
        }
        // Keep the part of a line not yet ended; a line longer than the
        // buffer is none of qscan's.
        held -= from;
        std::memmove(buffer.data(), buffer.data() + from, held);
        if (held == buffer.size()) {
            return name + ":" + std::to_string(number + 1) + ": not a line qscan prints";
        }
    }
    return "";
}

} // namespace report
