// The forms of qscan-report's answer: a report for people that fits 80
// columns, a CUE sheet for a single-file image of the scanned sectors, JSON
// for scripts, and a picture of the disc.
#pragma once

#include "report/report.h"

#include <string>

namespace report {

std::string text_report(const disc_report &r);

// A finding in words, naming its track or the disc.
std::string finding_text(const finding &f);

// How the scans alone judged a track: "own in 2 of 2 scans", "own
// (combined; unknown in scan 1)".
std::string agreement_text(const disc_report &r, const track_report &t);

// Why a disc has no IDs, from its ids_report's reason.
std::string ids_reason_text(const finding &reason);

// Why no CUE sheet can be written; "" when one can.
std::string cue_refusal(const disc_report &r);

// "" when cue_refusal says why not.
std::string cue_sheet(const disc_report &r, const std::string &image_name);

std::string json_report(const disc_report &r);

// A self-contained SVG 1.1 picture of a disc read from raw lines: tracks,
// ISRC and catalog frames, damage and slips across the disc's time.
std::string svg_picture(const disc_report &r);

} // namespace report
