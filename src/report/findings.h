// What a careful user must look at, raised as data from the finished report;
// the writers word each kind.
#pragma once

#include "report/drive.h"
#include "report/layout.h"

namespace report {

// Codes: conflicting, invalid, placeholder, ambiguous, duplicate and missing
// ISRCs; a catalog number with a rival or that is no GTIN-13.
void code_findings(disc_report &r);

// The layout: tracks and pauses that could not be read, starts hidden by
// damage.
void layout_findings(disc_report &r, const disc_layout &layout, const frame_tally &damage);

// The tracks whose copy bit alternates (SCMS), in one finding.
void control_findings(disc_report &r);

// Where a dump's lead-in and the program area disagree on the layout.
void lead_in_findings(disc_report &r);

// Input of code lines only: the tracks after the last one a line names are
// not seen.
void lines_findings(disc_report &r);

// The drive: no usable Q, no code frames at all, an offset, slips or jitter,
// damage.
void drive_findings(disc_report &r, const std::optional<jitter> &jitter);

// Each difference from the master's CUE sheet in r.expect.
void expect_findings(disc_report &r);

} // namespace report
