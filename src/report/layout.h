// The disc's layout from trusted position frames: each track with every
// index, the lead-out, and the stretches that could not be read.
#pragma once

#include "report/report.h"
#include "report/tally.h"
#include "subchannel/subchannel.h"

#include <array>
#include <functional>
#include <map>

namespace report {

// A track as laid out: its span of LBAs, begin (pause included) to end.
struct laid_track {
    int number = 0;
    bool readable = true;
    std::optional<int> control;
    std::optional<int64_t> pause; // where index 00 begins
    int64_t begin = 0, start = 0, end = 0;
    std::vector<index_mark> indexes;
};

// Where damage hides something: a track, a pause or the start of an index,
// somewhere from first to last.
struct hidden_stretch {
    int track = 0, index = 0;
    int64_t first = 0, last = 0;
};

struct disc_layout {
    std::vector<laid_track> tracks; // in disc order, numbers without a gap
    std::optional<int64_t> leadout;
    std::vector<hidden_stretch> unreadable_tracks, unreadable_pauses, uncertain_boundaries;
    bool hidden_track = false; // track 1's pause begins where the scan does
};

class layout_builder {
  public:
    // A trusted position frame.
    void trust(int track, int index, int control, int64_t lba, int64_t rel);

    // end: the LBA after the last sector read, where no lead-out was read.
    disc_layout build(const frame_tally &damage, int64_t end) const;

  private:
    struct part {
        int64_t min_lba = INT64_MAX, max_lba = INT64_MIN;
        std::map<int64_t, uint32_t> starts; // where index 01 began, by each frame's own times
    };
    struct track_parts {
        std::map<int, part> parts;
        std::array<uint32_t, 16> controls{};
    };
    static std::map<int64_t, uint32_t> starts_of(const track_parts &t);
    std::optional<laid_track> lay(int number, const track_parts &t) const;
    std::vector<laid_track> with_gaps(const std::vector<laid_track> &tracks,
                                      const std::map<int, int64_t> &last, const frame_tally &damage,
                                      disc_layout &out) const;
    void uncertain_starts(const laid_track &t, int64_t previous, const frame_tally &damage,
                          std::vector<hidden_stretch> &into) const;

    std::map<int, track_parts> tracks_;
};

} // namespace report
