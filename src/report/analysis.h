// The analysis behind qscan-report: fed qscan's output a line at a time, it
// routes each frame or line to the stages that keep what they need as counts
// and bounded lists (never a record per sector), and puts their answers
// together at the end.
#pragma once

#include "report/codes.h"
#include "report/drive.h"
#include "report/lead_in.h"
#include "report/lines.h"
#include "report/picture.h"
#include "report/tally.h"
#include "subchannel/subchannel.h"

namespace report {

class analysis {
  public:
    // first_lba: the LBA of the first sector, 0 for qscan's output (it reads
    // from LBA 0); a dump may begin before it, in track 1's pause.
    explicit analysis(int64_t first_lba = 0) : first_lba_(first_lba) {}

    // The next sector's Q frame, from a raw line or a dump's record: one a
    // sector, in order from the first.
    void add_sector(const uint8_t q[SUBCHANNEL_Q_SIZE]);

    // An ISRC or catalog line of a scan without raw lines, at the running
    // position qscan printed with it.
    void add_code_line(bool catalog, const timing &position, const std::string &code);

    bool has_raw() const { return sectors_ > 0; }

    // For the progress line.
    uint64_t sectors() const { return sectors_; }
    int current_track() const { return has_raw() ? codes_.track() : lines_.current_track(); }
    size_t isrcs_found() const { return has_raw() ? codes_.distinct() : lines_.isrcs.distinct(); }

    // Once, when every line is in. end: the LBA after the last one read,
    // where it is not the sector after the last frame (merged scans).
    disc_report finish(std::optional<int64_t> end = std::nullopt);

    // Whether the drive returns Q worth reading.
    bool usable_q() const { return drive_.report(tally_.counts, sectors_).usable_q; }

    // A frame's disc position: the LBA the time names (00:02.00 is LBA 0).
    static int64_t lba_of(const msf &time);

  private:
    struct position_sample {
        int track, index, control;
        int64_t lba, rel;
    };
    void add_position(uint64_t sector, const subq &frame);
    int64_t place(uint64_t sector, int abs_f) const;
    disc_report lines_report() const;
    disc_report raw_report(int64_t end);

    int64_t lba_read(uint64_t sector) const { return first_lba_ + static_cast<int64_t>(sector); }

    int64_t first_lba_;
    uint64_t sectors_ = 0;
    frame_tally tally_;
    drive_timeline drive_;
    layout_builder layout_;
    lead_in_reader lead_in_;
    uint64_t not_bcd_ = 0;
    std::optional<position_sample> untrusted_; // the last position frame, until one agrees
    code_collector codes_;
    isrc_stretches stretches_;
    catalog_counts catalogs_;
    picture_bins picture_;
    line_evidence lines_;
};

} // namespace report
