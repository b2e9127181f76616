// Several scans of one disc as one body of evidence. Each scan is judged on
// its own first; the scans' frames are then merged sector by sector and the
// merged frames analysed as one disc. One scan is its own combination.
#pragma once

#include "report/merge.h"
#include "report/scans.h"

namespace report {

// The report of every scan together, into out; "" or why the scans cannot
// be combined (not one disc, a temporary file that failed).
std::string combine_scans(std::vector<finished_scan> &scans, disc_report *out);

// Where two scans' layouts show two discs: a track that begins outside the
// other's range for it (track 0: the lead-out, where both read one).
struct layout_difference {
    int track = 0;
    int64_t here = 0, there = 0;
};
std::optional<layout_difference> layouts_differ(const disc_report &here, const disc_report &there);

// Each combined track's verdict against each scan's own (scans_alone,
// otherwise).
void judge_agreement(disc_report &combined);

// The scans whose drives pass on fewer than half the catalog and ISRC
// frames a sector of the scan that passes on the most: they drop codes.
std::vector<bool> code_droppers(const std::vector<const disc_report *> &alone);

// Codes only some scans read, carried over, early or conflicting, and scans
// that pass on far fewer code frames than another: each named by its scan.
void habit_findings(const std::vector<const disc_report *> &alone, disc_report &combined);

} // namespace report
