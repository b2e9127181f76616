// The votes' answers put into the report's records.
#pragma once

#include "report/codes.h"

namespace report {

// Each laid track with its indexes, its status and its codes by kind;
// damaged frames counted by damage when given.
std::vector<track_report> report_tracks(const std::vector<laid_track> &tracks,
                                        const std::vector<track_evidence> &evidence,
                                        const std::vector<track_verdict> &verdicts,
                                        const frame_tally *damage);

// The hidden track before track 1 lies in track 1's pause: its own code is
// the one that leads there, when that is not track 1's own from its body.
std::optional<std::string> hidden_code(const track_evidence &first, const track_verdict &vote);
// The hidden track, its code taken out of track 1's pause codes.
hidden_track take_hidden(const laid_track &first, const std::optional<std::string> &code,
                         std::vector<track_evidence> &evidence,
                         std::vector<track_verdict> &verdicts);

std::optional<mcn_report> report_mcn(const catalog_counts &catalogs);

} // namespace report
