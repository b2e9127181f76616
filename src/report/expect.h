// A disc against its master's CUE sheet, track by track: the ISRCs, the
// catalog number, the flags, every index and the pauses. Pure: the sheet
// and the report in, the differences out.
#pragma once

#include "report/master_sheet.h"
#include "report/report.h"

#include <string>

namespace report {

// Positions differ by at most tolerance frames to match.
expect_result compare_with_master(const master_sheet &sheet, const disc_report &disc,
                                  int64_t tolerance, const std::string &file);

} // namespace report
