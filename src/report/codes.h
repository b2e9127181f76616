// ISRC frames (or lines) as they come, kept by the part of the disc they were
// read in and code: a count, and the positions of the first and last few,
// which are the ones that may lie across a boundary. Placed on the layout's
// tracks by their own positions at the end.
#pragma once

#include "report/layout.h"
#include "report/vote.h"

#include <set>
#include <tuple>

namespace report {

class code_collector {
  public:
    // The part of the disc being read, from the last position frame or line.
    void enter(int track, int index);
    int track() const { return track_; }
    int index() const { return index_; }

    // An ISRC at its disc position; false when it is beyond the caps.
    bool add(const std::string &code, int64_t lba);

    size_t distinct() const { return ids_.size(); }

    // Every code on the tracks its positions lie in, counted by where.
    std::vector<track_evidence> place(const std::vector<laid_track> &tracks) const;

  private:
    // Positions of one code in one part: all of the first few, then a ring
    // of the last few; those between lie inside the part.
    struct positions {
        uint32_t frames = 0;
        std::vector<int64_t> head, tail;
        size_t next = 0;
        void add(int64_t lba);
    };
    using key = std::tuple<int, bool, std::string>; // track, in its pause, code

    int track_ = 0, index_ = 1;
    bool body_ = false; // index 01 of this track was entered: an index 00 now is no pause
    std::set<std::string> ids_;
    std::map<int, size_t> codes_per_track_;
    std::map<key, positions> parts_;
};

// Catalog frames (or lines) per code, with the first and last position;
// at most MAX_DISTINCT_MCNS codes.
struct catalog_counts {
    std::map<std::string, uint32_t> frames;
    std::map<std::string, std::pair<int64_t, int64_t>> span;
    void add(const std::string &code, int64_t lba);
};

// Each track's good frames from index 01 on, the longest run among them
// without an ISRC frame, and the widest stretch between two ISRC frames,
// damaged frames included: damage hides no gap.
class isrc_stretches {
  public:
    void good(int track, int index); // a good frame that is no ISRC frame
    void isrc(int track, int index);
    void broken() { run_ = 0, ++since_isrc_; }

    // Into a track's evidence.
    void fill(int track, track_evidence &e) const;

  private:
    struct runs {
        uint64_t good = 0;
        uint32_t longest = 0, widest_gap = 0;
    };
    runs *enter(int track, int index);

    int track_ = 0;
    uint32_t run_ = 0, since_isrc_ = 0;
    bool after_isrc_ = false; // since_isrc_ counts from an ISRC frame of this track
    std::map<int, runs> tracks_;
};

} // namespace report
