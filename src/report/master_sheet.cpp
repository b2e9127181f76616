#include "report/master_sheet.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iterator>
#include <sstream>

namespace report {

namespace {

// Words of a line; a quoted word keeps its spaces.
std::vector<std::string> words_of(const std::string &line) {
    std::vector<std::string> words;
    for (size_t at = 0; at < line.size();) {
        if (std::isspace(static_cast<unsigned char>(line[at]))) {
            ++at;
        } else if (line[at] == '"') {
            const size_t end = line.find('"', at + 1);
            words.push_back(line.substr(at + 1, end == std::string::npos ? end : end - at - 1));
            at = end == std::string::npos ? line.size() : end + 1;
        } else {
            size_t end = at;
            while (end < line.size() && !std::isspace(static_cast<unsigned char>(line[end]))) {
                ++end;
            }
            words.push_back(line.substr(at, end - at));
            at = end;
        }
    }
    return words;
}

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// A sheet's bytes as a message may show them: control bytes escaped.
std::string escaped(const std::string &text) {
    std::string out;
    for (const unsigned char c : text) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02x", c);
        out += c < 0x20 || c == 0x7f ? std::string(hex) : std::string(1, static_cast<char>(c));
    }
    return out;
}

bool all_digits(const std::string &text) {
    return !text.empty() && std::all_of(text.begin(), text.end(),
                                        [](unsigned char c) { return std::isdigit(c) != 0; });
}

// mm:ss:ff, frames below 75 and seconds below 60.
std::optional<int64_t> sheet_time(const std::string &text) {
    const size_t first = text.find(':'), second = text.find(':', first + 1);
    if (first == std::string::npos || second == std::string::npos) {
        return std::nullopt;
    }
    const std::string m = text.substr(0, first), s = text.substr(first + 1, second - first - 1),
                      f = text.substr(second + 1);
    if (!all_digits(m) || m.size() > 4 || s.size() != 2 || f.size() != 2 || !all_digits(s) ||
        !all_digits(f) || std::stoi(s) > 59 || std::stoi(f) > 74) {
        return std::nullopt;
    }
    return (std::stoll(m) * 60 + std::stoi(s)) * 75 + std::stoi(f);
}

std::optional<int> two_digits(const std::string &text, int lowest) {
    if (!all_digits(text) || text.size() > 2 || std::stoi(text) < lowest) {
        return std::nullopt;
    }
    return std::stoi(text);
}

class sheet_reader {
  public:
    explicit sheet_reader(master_sheet &out) : out_(out) {}

    // "" or what is wrong with the line.
    std::string line(const std::vector<std::string> &words) {
        const std::string keyword = upper(words[0]);
        const size_t args = words.size() - 1;
        if (keyword == "REM" || keyword == "TITLE" || keyword == "PERFORMER" ||
            keyword == "SONGWRITER" || keyword == "CDTEXTFILE") {
            return "";
        }
        if (keyword == "CATALOG") {
            return args == 1 && all_digits(words[1]) && words[1].size() == 13
                       ? (out_.catalog = words[1], "")
                       : "CATALOG takes 13 digits";
        }
        if (keyword == "FILE") {
            return args >= 1 ? (++files_, "") : "FILE takes a name and a type";
        }
        if (keyword == "TRACK") {
            return track(words);
        }
        const bool of_a_track = keyword == "ISRC" || keyword == "FLAGS" || keyword == "INDEX" ||
                                keyword == "PREGAP" || keyword == "POSTGAP";
        if (!of_a_track) {
            return "no CUE keyword: " + escaped(words[0]);
        }
        if (out_.tracks.empty()) {
            return escaped(words[0]) + " before any TRACK";
        }
        expected_track &t = out_.tracks.back();
        if (keyword == "ISRC") {
            return args == 1 ? isrc(t, words[1]) : "ISRC takes one code";
        }
        if (keyword == "FLAGS") {
            return flags(t, words);
        }
        if (keyword == "INDEX") {
            return index(t, words);
        }
        if (keyword == "PREGAP" || keyword == "POSTGAP") {
            const auto time = args == 1 ? sheet_time(words[1]) : std::nullopt;
            (keyword == "PREGAP" ? t.pregap : t.postgap) = time;
            return time ? "" : keyword + " takes a time mm:ss:ff";
        }
        return "";
    }

    std::string finish() {
        // A sheet that places no index at all says only what the tracks carry.
        const bool placed = std::any_of(out_.tracks.begin(), out_.tracks.end(),
                                        [](const expected_track &t) { return !t.indexes.empty(); });
        out_.layout = files_ == 0 || !placed ? sheet_layout::code_list
                      : files_ == 1          ? sheet_layout::single_file
                                             : sheet_layout::file_per_track;
        for (const expected_track &t : out_.tracks) {
            // Rippers write a data track after the audio with its INDEX 00
            // alone, where the audio ends.
            const bool data_mark = !t.audio && t.indexes.count(0) != 0;
            if (placed && t.indexes.count(1) == 0 && !data_mark) {
                return "track " + std::to_string(t.number) + " has no INDEX 01";
            }
        }
        return out_.tracks.empty() ? "no TRACK" : "";
    }

  private:
    std::string track(const std::vector<std::string> &words) {
        const auto number = words.size() == 3 ? two_digits(words[1], 1) : std::nullopt;
        if (!number) {
            return "TRACK takes a number from 01 to 99 and a type";
        }
        if (!out_.tracks.empty() && *number <= out_.tracks.back().number) {
            return "track numbers must rise";
        }
        expected_track t;
        t.number = *number;
        t.audio = upper(words[2]) == "AUDIO";
        out_.tracks.push_back(t);
        return "";
    }

    static std::string isrc(expected_track &t, std::string code) {
        std::erase(code, '-');
        if (code.size() != 12) {
            return "ISRC takes 12 characters";
        }
        t.isrc = upper(code);
        return "";
    }

    static std::string flags(expected_track &t, const std::vector<std::string> &words) {
        t.flags.emplace();
        for (size_t i = 1; i < words.size(); ++i) {
            const std::string flag = upper(words[i]);
            if (flag != "PRE" && flag != "DCP" && flag != "4CH" && flag != "SCMS") {
                return "no flag: " + words[i];
            }
            t.flags->insert(flag);
        }
        return "";
    }

    std::string index(expected_track &t, const std::vector<std::string> &words) const {
        const auto number = words.size() == 3 ? two_digits(words[1], 0) : std::nullopt;
        const auto time = words.size() == 3 ? sheet_time(words[2]) : std::nullopt;
        if (!number || !time) {
            return "INDEX takes a number from 00 to 99 and a time mm:ss:ff";
        }
        if (files_ == 0) {
            return "INDEX before any FILE";
        }
        if (!t.indexes.empty() && *number <= t.indexes.rbegin()->first) {
            return "index numbers must rise";
        }
        t.indexes[*number] = {files_ - 1, *time};
        return "";
    }

    master_sheet &out_;
    int files_ = 0;
};

// A sheet as UTF-8: Windows PowerShell 5.1's '>' writes UTF-16LE with a
// byte-order mark, and other tools UTF-16BE. Outside the keywords' ASCII
// only titles and file names can differ, so a character the Basic
// Multilingual Plane does not hold becomes '?'.
std::string as_utf8(const std::string &bytes) {
    const bool le = bytes.rfind("\xFF\xFE", 0) == 0, be = bytes.rfind("\xFE\xFF", 0) == 0;
    if (!le && !be) {
        return bytes;
    }
    std::string out;
    for (size_t at = 2; at + 1 < bytes.size(); at += 2) {
        const auto first = static_cast<unsigned char>(bytes[at]),
                   second = static_cast<unsigned char>(bytes[at + 1]);
        const unsigned unit = le ? first | second << 8 : first << 8 | second;
        if (unit < 0x80) {
            out += static_cast<char>(unit);
        } else if (unit < 0x800) {
            out += static_cast<char>(0xC0 | unit >> 6);
            out += static_cast<char>(0x80 | (unit & 0x3F));
        } else if (unit < 0xD800 || unit > 0xDFFF) {
            out += static_cast<char>(0xE0 | unit >> 12);
            out += static_cast<char>(0x80 | (unit >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (unit & 0x3F));
        } else {
            out += '?';
        }
    }
    return out;
}

} // namespace

std::string read_master_sheet(std::istream &raw, const std::string &name, master_sheet *out) {
    *out = {};
    sheet_reader reader(*out);
    std::istringstream in(as_utf8(std::string(std::istreambuf_iterator<char>(raw), {})));
    std::string text;
    for (int number = 1; std::getline(in, text); ++number) {
        if (number == 1 && text.rfind("\xEF\xBB\xBF", 0) == 0) {
            text.erase(0, 3);
        }
        if (!text.empty() && text.back() == '\r') {
            text.pop_back();
        }
        const std::vector<std::string> words = words_of(text);
        const std::string error = words.empty() ? "" : reader.line(words);
        if (!error.empty()) {
            return name + ":" + std::to_string(number) + ": " + error;
        }
    }
    const std::string error = reader.finish();
    return error.empty() ? "" : name + ": " + error;
}

} // namespace report
