// One analysis fed on a thread of its own: the reader hands it frames and
// code lines in blocks and goes on reading, so that the analyses of several
// scans, and of their merge, run beside one another.
#pragma once

#include "report/analysis.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace report {

class analysis_worker {
  public:
    explicit analysis_worker(int64_t first_lba);
    ~analysis_worker();
    analysis_worker(const analysis_worker &) = delete;
    analysis_worker &operator=(const analysis_worker &) = delete;

    void add_sector(const uint8_t q[SUBCHANNEL_Q_SIZE]);
    void add_code_line(bool catalog, const timing &position, const std::string &code);

    // Once: waits for every block, then the analysis's report.
    disc_report finish(std::optional<int64_t> end = std::nullopt);

    // Waits for every block handed over; then the analysis may be asked.
    const analysis &settled();

    // For the progress line, as of the last block.
    uint64_t sectors() const { return sectors_; }
    int current_track() const { return track_; }
    size_t isrcs_found() const { return isrcs_; }

  private:
    // Sectors a block holds.
    static constexpr size_t BLOCK_SECTORS = 4096;
    // Blocks waiting at most: the reader waits beyond them.
    static constexpr size_t MAX_WAITING = 4;
    struct code_line {
        bool catalog;
        timing position;
        std::string code;
    };
    struct block {
        std::vector<uint8_t> q;
        std::vector<code_line> lines;
    };
    void hand_over();
    void run();

    analysis analysis_;
    block filling_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<block> waiting_;
    bool busy_ = false, closing_ = false;
    uint64_t handed_ = 0;
    std::atomic<uint64_t> sectors_{0};
    std::atomic<int> track_{0};
    std::atomic<size_t> isrcs_{0};
    std::thread thread_;
};

} // namespace report
