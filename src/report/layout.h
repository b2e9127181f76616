// The disc's layout from trusted position frames: each track with every
// index, the lead-out, and the stretches that could not be read.
#pragma once

#include "report/report.h"
#include "report/tally.h"
#include "subchannel/subchannel.h"

#include <array>
#include <map>

namespace report {

// A track as laid out: its span of LBAs, begin (pause included) to end.
struct laid_track {
    int number = 0;
    bool readable = true;
    std::optional<int> control;   // none: its data bit is a tie
    bool scms = false;            // its copy bit alternates
    std::optional<int64_t> pause; // where index 00 may first begin
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
    std::vector<laid_track> tracks; // in disc order, with the disc's own numbers
    std::optional<int64_t> leadout;
    std::vector<hidden_stretch> unreadable_tracks, unreadable_pauses, uncertain_boundaries;
    bool hidden_track = false; // the first track's pause begins where the scan does
};

// The CONTROL nibble of a track from its frames' counts, bit by bit: the
// data bit, four channels and pre-emphasis each by its own majority, none on
// a tie of the data bit; a copy bit that alternates is SCMS, and counts as
// copying not permitted.
struct control_bits {
    std::optional<int> control;
    bool scms = false;
};
control_bits control_of(const std::array<uint32_t, 16> &counts);

class layout_builder {
  public:
    // A trusted position frame.
    void trust(int track, int index, int control, int64_t lba, int64_t rel);

    // Frames read outside every track (a lead-in's table of contents, a
    // lead-out), first to last: no index began there.
    void read_elsewhere(int64_t first, int64_t last);

    // first: the LBA of the first sector read; end: the LBA after the last,
    // where no lead-out was read.
    disc_layout build(const frame_tally &damage, int64_t first, int64_t end) const;

  private:
    // Index 00 read after a track's index 01, at the disc's end: not a pause.
    static constexpr int TRAILING_PART = 100;
    struct part {
        int64_t min_lba = INT64_MAX, max_lba = INT64_MIN;
    };
    struct track_parts {
        std::map<int, part> parts;
        std::map<int64_t, uint32_t> starts; // where index 01 began, by each frame's own times
        std::array<uint32_t, 16> controls{};
    };
    std::optional<laid_track> lay(int number, const track_parts &t) const;
    void ranges(std::vector<laid_track> &tracks, int64_t first, disc_layout &out) const;
    std::vector<laid_track> with_gaps(const std::vector<laid_track> &tracks, int64_t first,
                                      const frame_tally &damage, disc_layout &out) const;
    std::optional<int64_t> leadout(const std::vector<laid_track> &tracks) const;
    int64_t last_read(int number) const;
    int64_t read_before(int64_t lba) const;

    std::map<int, track_parts> tracks_;
    std::map<int64_t, uint32_t> leadout_starts_;
    struct run {
        int64_t first, last;
    };
    std::vector<run> elsewhere_; // lead-ins and lead-outs read, at most a few runs
};

} // namespace report
