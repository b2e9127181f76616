// The scans being read: each its files, its own analysis, and its frames
// kept for the merge. A file that starts the disc again begins the next.
#pragma once

#include "report/analysis.h"
#include "report/merge.h"
#include "report/spool.h"
#include "report/worker.h"

#include <memory>

namespace report {

// Where the reader puts what it reads.
class scan_target {
  public:
    virtual ~scan_target() = default;
    virtual void add_sector(const uint8_t q[SUBCHANNEL_Q_SIZE]) = 0;
    virtual void add_code_line(bool catalog, const timing &position, const std::string &code) = 0;
    // The file (name) read next; begins a new scan when it starts the disc
    // again. "" or why it cannot.
    virtual std::string next_file(const std::string &name, bool new_scan) = 0;
};

// A code line as the merge reads it again.
struct code_line_record {
    uint8_t catalog;
    timing position;
    char code[13];
};

// One scan once read: its analysis's report, and its frames kept in order.
struct finished_scan {
    std::vector<std::string> files;
    disc_report alone;
    record_spool sectors{SUBCHANNEL_Q_SIZE}; // each sector's Q, as read
    record_spool lines{sizeof(code_line_record)};
};

class scan_set : public scan_target {
  public:
    // keep_frames: keep each scan's frames for a merge; one file is one
    // scan, and needs none.
    explicit scan_set(bool keep_frames) : keep_(keep_frames) {}

    void add_sector(const uint8_t q[SUBCHANNEL_Q_SIZE]) override;
    void add_code_line(bool catalog, const timing &position, const std::string &code) override;
    std::string next_file(const std::string &name, bool new_scan) override;

    // A dump: always a scan of its own, its first sector at first_lba.
    std::string next_dump(const std::string &name, int64_t first_lba);

    // A finding of the scan being read, for its report.
    void add_finding(finding f);

    // The scan being read, for the progress line; zeros before the first.
    struct progress {
        uint64_t sectors = 0;
        int track = 0;
        size_t isrcs = 0;
    };
    progress current() const;
    size_t count() const { return scans_.size(); }

    // Whether the drive of the scan being read returns Q worth reading.
    bool usable_q();

    // Every scan, each judged on its own.
    std::vector<finished_scan> finish();

  private:
    // Among several files, each scan's analysis runs on a thread of its own.
    struct reading {
        reading(int64_t first_lba, bool threaded)
            : read(first_lba),
              worker(threaded ? std::make_unique<analysis_worker>(first_lba) : nullptr) {}
        analysis read;
        std::unique_ptr<analysis_worker> worker;
        finished_scan kept;
        std::vector<finding> findings;
    };
    std::string begin(int64_t first_lba, bool dump);

    bool keep_;
    bool dump_ = false; // the scan being read is a dump's
    std::vector<std::unique_ptr<reading>> scans_;
};

} // namespace report
