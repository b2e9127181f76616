// A master's CUE sheet, read as mastering tools, rippers and people write
// them: what the disc should carry. One FILE (times from the image's start),
// one FILE per track (times within each file), or a bare code list of
// CATALOG and TRACK + ISRC lines. No library reads all three, nor builds for
// Windows, so the few keywords are read here.
#pragma once

#include <cstdint>
#include <istream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace report {

// Where an index lies: frames from the start of one of the sheet's files.
struct sheet_point {
    int file = 0;
    int64_t frames = 0;
};

struct expected_track {
    int number = 0;
    bool audio = true; // any type other than AUDIO is a data track
    std::optional<std::string> isrc;
    std::optional<std::set<std::string>> flags; // PRE, DCP, 4CH, SCMS
    std::map<int, sheet_point> indexes;         // by index number
    std::optional<int64_t> pregap, postgap;     // frames
};

enum class sheet_layout { single_file, file_per_track, code_list };

struct master_sheet {
    sheet_layout layout = sheet_layout::code_list;
    std::optional<std::string> catalog;
    std::vector<expected_track> tracks; // in the sheet's order
};

// "" when the sheet was read, else what is wrong, naming name and the line.
std::string read_master_sheet(std::istream &in, const std::string &name, master_sheet *out);

} // namespace report
