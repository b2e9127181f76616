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

// The hidden track before track 1, track 1's pause, put before the first
// track's evidence so that it is voted on as a track of its own; then taken
// out again, with its own code out of track 1's pause codes.
void add_hidden(std::vector<track_evidence> &evidence);
hidden_track take_hidden(const laid_track &first, std::vector<track_evidence> &evidence,
                         std::vector<track_verdict> &verdicts);

std::optional<mcn_report> report_mcn(const catalog_counts &catalogs);

} // namespace report
