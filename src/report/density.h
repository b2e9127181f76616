// How often this disc carries an ISRC frame, measured on the tracks that
// have their own code, and what it tells of a track without one.
#pragma once

#include "report/vote.h"

namespace report {

isrc_density density_of(const std::vector<track_evidence> &tracks,
                        const std::vector<track_verdict> &verdicts);

// Whether a track without a code of its own surely has none.
bool surely_none(const isrc_density &density, const track_evidence &track);

} // namespace report
