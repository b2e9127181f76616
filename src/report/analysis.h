// The analysis behind qscan-report: fed qscan's output a line at a time, it
// keeps what it needs as counts and runs (never a record per sector) and
// works out the disc's layout, each track's codes and the drive check at the
// end.
#pragma once

#include "report/report.h"
#include "subchannel/subchannel.h"

#include <map>

namespace report {

struct code_occurrence {
    std::string code;
    uint64_t sector; // raw lines: the sector it was read at
    int abs_f;       // raw lines: the frame number it carries
    int64_t lba;     // code lines: the position qscan printed
};

// Consecutive frames of one code.
struct code_run {
    code_occurrence first, last;
    uint32_t frames;
};

// ISRCs as they come: runs of one code within one part (track and index) of
// the disc, and one by one the frames whose part is in doubt, to be placed
// by their own positions at the end.
struct code_stream {
    std::vector<code_run> runs;
    std::optional<code_run> open;
    std::vector<code_occurrence> tail;   // not settled yet
    std::vector<code_occurrence> single; // placed one by one
    int track = 0, index = -1;           // the part being read

    // The tail but its last keep frames lies in the current part.
    void settle(size_t keep);
    // A new part begins: what was not settled is placed one by one.
    void new_part(int new_track, int new_index);
    void end();
};

struct index_stats {
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

// A bin of the picture while reading: ISRC frames by code (an index into
// the codes seen), since their kinds are known only at the end.
struct reading_bin {
    uint32_t damaged = 0;
    uint32_t catalog = 0;
    std::vector<std::pair<uint32_t, uint32_t>> isrcs; // code, frames
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

    // For the progress line.
    uint64_t sectors() const { return sectors_; }
    int current_track() const { return has_raw() ? frame_codes_.track : line_codes_.track; }
    size_t isrcs_found() const { return isrc_ids_.size(); }

    // Once, when every line is in.
    disc_report finish();

    // A frame's disc position: the LBA the time names (00:02.00 is LBA 0).
    static int64_t lba_of(const msf &time);

  private:
    void add_position(uint64_t sector, const subq &frame);
    void trust(const position_sample &sample);
    drive_report drive_check() const;

    uint64_t sectors_ = 0;
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

    // ISRC frames: those between position frames of one part settle into
    // runs; those read after the last position frame of a part and before
    // the first of the next are placed one by one.
    code_stream frame_codes_;
    std::map<std::string, uint32_t> isrc_ids_; // every ISRC seen, numbered

    // The picture: at most PICTURE_BINS bins; when the disc outgrows them,
    // neighbours merge and each bin covers twice the sectors.
    reading_bin &bin_of(uint64_t sector);
    uint32_t isrc_id(const std::string &code);
    std::vector<reading_bin> bins_;
    uint64_t sectors_per_bin_ = 75;

    // Catalog frames, per code.
    struct catalog_stats {
        uint32_t frames = 0;
        int64_t first_lba = 0, last_lba = 0; // lines without raw: their positions
        code_occurrence first, last;         // raw lines: read sectors, placed at the end
    };
    std::map<std::string, catalog_stats> catalogs_, line_catalogs_;

    // ISRC lines, for input without raw lines: the last few lines of each
    // part qscan printed stay single, since they may have been read before
    // the first position frame of the next part. Per track, where index 01
    // began by the running positions, and where its pause lines begin.
    code_stream line_codes_;
    std::map<int, std::map<int64_t, uint32_t>> line_starts_;
    std::map<int, int64_t> line_pauses_;
};

} // namespace report
