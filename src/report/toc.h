// The disc's table of contents as the Q channel gives it (each track's
// index 01, its CONTROL, the lead-out) and the identifiers that follow from
// it, where the layout settles them.
#pragma once

#include "report/report.h"

namespace report {

// scan_end: the LBA after the last sector read, the lead-out when no
// lead-out frame was read (a drive that refuses to read into it).
ids_report report_ids(const disc_report &r, int64_t scan_end);

} // namespace report
