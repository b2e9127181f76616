#include "report/writers.h"

#include <algorithm>
#include <cstdio>

namespace report {

namespace {

// mm:ss:ff from the image's first sector, LBA 0.
std::string image_time(int64_t lba) {
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(lba / 75 / 60),
                  static_cast<long long>(lba / 75 % 60), static_cast<long long>(lba % 75));
    return text;
}

} // namespace

std::string cue_sheet(const disc_report &r, const std::string &image_name) {
    if (!r.from_raw || r.tracks.empty()) {
        return "";
    }
    std::string out = std::string("REM COMMENT \"qscan-report ") + QSCAN_VERSION + "\"\n";
    // Players and image tools read CATALOG, not MCN, and only a valid GTIN-13
    // belongs there.
    if (r.mcn && r.mcn->value.validity == code_validity::valid && r.mcn->check_digit_valid) {
        out += "CATALOG " + r.mcn->value.code + "\n";
    }
    out += "FILE \"" + image_name + "\" BINARY\n";
    char line[64];
    for (const track_report &t : r.tracks) {
        const int control = t.control.value_or(0);
        std::snprintf(line, sizeof line, "  TRACK %02d %s\n", t.number,
                      (control & 4) != 0 ? "MODE1/2352" : "AUDIO");
        out += line;
        std::string flags;
        if ((control & 2) != 0) {
            flags += " DCP";
        }
        if ((control & 8) != 0) {
            flags += " 4CH";
        }
        if ((control & 1) != 0) {
            flags += " PRE";
        }
        if (!flags.empty()) {
            out += "    FLAGS" + flags + "\n";
        }
        if (t.isrc && t.isrc->validity == code_validity::valid) {
            out += "    ISRC " + t.isrc->code + "\n";
        }
        // Sectors before the image's first are not in it.
        if (t.index00_lba && *t.index00_lba >= 0) {
            out += "    INDEX 00 " + image_time(*t.index00_lba) + "\n";
        }
        const int64_t start = t.index01_lba.value_or(t.index00_lba.value_or(0));
        out += "    INDEX 01 " + image_time(std::max<int64_t>(start, 0)) + "\n";
    }
    return out;
}

} // namespace report
