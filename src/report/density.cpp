#include "report/density.h"

#include <algorithm>
#include <cmath>

namespace report {

double isrc_density::per_frame() const {
    if (good_frames == 0) {
        return 0;
    }
    const auto k = static_cast<double>(isrc_frames);
    return std::max(0.0, k - DENSITY_DEVIATIONS * std::sqrt(k)) / static_cast<double>(good_frames);
}

uint32_t isrc_density::clean_run_needed() const {
    return std::max(ISRC_STRETCH_FRAMES, widest_gap + 1);
}

isrc_density density_of(const std::vector<track_evidence> &tracks,
                        const std::vector<track_verdict> &verdicts) {
    isrc_density out;
    for (size_t i = 0; i < tracks.size() && i < verdicts.size(); ++i) {
        if (verdicts[i].status != isrc_status::own || verdicts[i].in_pause) {
            continue;
        }
        const track_evidence &t = tracks[i];
        for (const auto &[code, tally] : t.body) {
            out.isrc_frames += tally.frames();
        }
        out.good_frames += t.good;
        out.widest_gap = std::max(out.widest_gap, t.widest_gap);
    }
    return out;
}

bool surely_none(const isrc_density &density, const track_evidence &track) {
    return track.clean_run >= density.clean_run_needed() ||
           density.expected(track.good) >= NONE_EXPECTED_FRAMES;
}

} // namespace report
