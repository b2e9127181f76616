// The analysis behind qscan-report: fed qscan's output a line at a time, it
// keeps what it needs as counts and runs (never a record per sector) and
// works out the disc's layout, each track's codes and the drive check at the
// end.
#pragma once

#include "report/report.h"
#include "subchannel/subchannel.h"

#include <map>
#include <set>
#include <tuple>

namespace report {

struct code_occurrence {
    std::string code;
    uint64_t sector; // read at
    int abs_f;       // the frame number it carries
};

// Consecutive frames of one code.
struct code_run {
    code_occurrence first, last;
    uint32_t frames;
};

struct index_stats {
    uint64_t frames = 0;
    int64_t min_lba = INT64_MAX;
    std::map<int64_t, uint32_t> starts; // where index 01 began, by each frame's own times
    uint32_t controls[16] = {};
};

struct position_sample {
    uint64_t sector;
    int64_t lba;
    int track, index, control;
    int64_t rel;
};

struct offset_segment {
    uint64_t from_sector;
    int64_t offset;
};

class analysis {
  public:
    // The next sector's Q frame, from a raw line: raw lines come one a
    // sector, in order from sector 0.
    void add_sector(const uint8_t q[SUBCHANNEL_Q_SIZE]);

    // An ISRC or catalog line of a scan without raw lines, at the running
    // position qscan printed with it.
    void add_code_line(bool catalog, const timing &position, const std::string &code);

    bool has_raw() const { return sectors_ > 0; }
    bool empty() const { return sectors_ == 0 && code_lines_ == 0; }

    // For the progress line.
    uint64_t sectors() const { return sectors_; }
    int current_track() const { return has_raw() ? segment_track_ : line_track_; }
    size_t isrcs_found() const { return distinct_isrcs_.size(); }

    disc_report finish();

    // A frame's disc position: the LBA the time names (00:02.00 is LBA 0).
    static int64_t lba_of(const msf &time);

  private:
    void add_position(uint64_t sector, const subq &frame);
    void trust(const position_sample &sample);
    void add_recording(uint64_t sector, const subq &frame);
    void fold_tail();
    void close_run();

    uint64_t sectors_ = 0;
    uint64_t code_lines_ = 0;
    frame_counts frames_;
    std::vector<sector_run> damage_;

    // The drive check: every position frame's offset, and runs of equal
    // offsets; a run of two or more is trusted, a lone frame is one whose
    // time is wrong.
    std::map<int64_t, uint64_t> offset_counts_;
    uint64_t position_frames_ = 0;
    int64_t run_offset_ = 0;
    uint32_t run_length_ = 0;
    position_sample run_first_{};
    std::vector<offset_segment> timeline_;

    // The layout, from trusted position frames: per track, per index.
    std::map<int, std::map<int, index_stats>> layout_;

    // ISRC frames as runs of one code between position frames of one track
    // and index; frames read after the last position frame of a part and
    // before the first of the next are kept one by one, to be placed by their
    // own positions.
    std::vector<code_run> runs_;
    std::optional<code_run> open_run_;
    std::vector<code_occurrence> tail_;
    std::vector<code_occurrence> boundary_;
    int segment_track_ = 0, segment_index_ = -1;
    std::set<std::string> distinct_isrcs_;

    // Catalog frames, per code.
    struct catalog_stats {
        uint32_t frames = 0;
        int64_t first_lba = 0, last_lba = 0; // lines without raw: their positions
        code_occurrence first, last;         // raw lines: read sectors, placed at the end
    };
    std::map<std::string, catalog_stats> catalogs_;

    // ISRC lines without raw lines, per track, part (0: pause) and code.
    struct line_group {
        uint32_t frames = 0;
        int64_t first_lba = 0, last_lba = 0;
    };
    std::map<std::tuple<int, int, std::string>, line_group> line_codes_;
    std::map<int, std::map<int64_t, uint32_t>> line_starts_;
    int line_track_ = 0;
};

} // namespace report
