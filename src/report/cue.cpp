#include "report/writers.h"

#include <algorithm>
#include <cctype>
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

// The FILE type players expect of the image's name.
const char *file_type(const std::string &name) {
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const auto &[end, type] :
         {std::pair{".wav", "WAVE"}, {".mp3", "MP3"}, {".aif", "AIFF"}, {".aiff", "AIFF"}}) {
        if (lower.size() > std::string(end).size() && lower.ends_with(end)) {
            return type;
        }
    }
    return "BINARY";
}

std::string flags(int control) {
    std::string out;
    for (const std::string &flag : control_flags(control)) {
        out += " " + flag;
    }
    return out;
}

} // namespace

std::string cue_refusal(const disc_report &r) {
    if (!r.from_raw) {
        return "a CUE sheet needs the raw lines of qscan -r";
    }
    if (r.tracks.empty()) {
        return "no track layout (no position frame could be read): no CUE sheet";
    }
    for (const track_report &t : r.tracks) {
        if (!t.readable) {
            return "track " + std::to_string(t.number) +
                   " could not be read: no CUE sheet without it";
        }
    }
    return "";
}

std::string cue_sheet(const disc_report &r, const std::string &image_name) {
    if (!cue_refusal(r).empty()) {
        return "";
    }
    // The freedb ID in capitals, before the comment, where rippers put it.
    std::string out;
    if (r.ids.ids) {
        std::string id = r.ids.ids->freedb;
        std::transform(id.begin(), id.end(), id.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        out += "REM DISCID " + id + "\n";
    }
    out += std::string("REM COMMENT \"qscan-report ") + QSCAN_VERSION + "\"\n";
    // Players and image tools read CATALOG, not MCN, and only a valid GTIN-13
    // without a rival belongs there.
    if (r.mcn && r.mcn->value && mcn_usable(r.mcn->value->code) && !r.mcn->rival) {
        out += "CATALOG " + r.mcn->value->code + "\n";
    }
    out += "FILE \"" + image_name + "\" " + file_type(image_name) + "\n";
    char line[64];
    for (const track_report &t : r.tracks) {
        const int control = t.control.value_or(0);
        std::snprintf(line, sizeof line, "  TRACK %02d %s\n", t.number,
                      (control & 4) != 0 ? "MODE1/2352" : "AUDIO");
        out += line;
        if (!flags(control).empty()) {
            out += "    FLAGS" + flags(control) + "\n";
        }
        if (t.isrc && t.isrc->validity == code_validity::valid) {
            out += "    ISRC " + t.isrc->code + "\n";
        }
        // Sectors before the image's first are not in it; a track whose
        // index 01 was not read starts where its pause was read.
        std::vector<index_mark> marks = t.indexes;
        if (!t.index01_lba && t.index00_lba) {
            marks.insert(marks.begin() + 1, {1, *t.index00_lba});
        }
        for (const index_mark &m : marks) {
            if (m.lba >= 0 || m.number == 1) {
                std::snprintf(line, sizeof line, "    INDEX %02d ", m.number);
                out += line + image_time(std::max<int64_t>(m.lba, 0)) + "\n";
            }
        }
    }
    return out;
}

} // namespace report
