// A disc against its master's CUE sheet, track by track: the ISRCs, the
// catalog number, the flags, every index and the pauses. Pure: the sheet
// and the report in, the differences out.
#pragma once

#include "report/master_sheet.h"
#include "report/report.h"

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace report {

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

// Positions differ by at most tolerance frames to match.
expect_result compare_with_master(const master_sheet &sheet, const disc_report &disc,
                                  int64_t tolerance, const std::string &file);

} // namespace report
