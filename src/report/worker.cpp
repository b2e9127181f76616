#include "report/worker.h"

namespace report {

analysis_worker::analysis_worker(int64_t first_lba)
    : analysis_(first_lba), thread_([this] { run(); }) {}

analysis_worker::~analysis_worker() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void analysis_worker::add_sector(const uint8_t q[SUBCHANNEL_Q_SIZE]) {
    filling_.q.insert(filling_.q.end(), q, q + SUBCHANNEL_Q_SIZE);
    if (filling_.q.size() == BLOCK_SECTORS * SUBCHANNEL_Q_SIZE) {
        hand_over();
    }
}

void analysis_worker::add_code_line(bool catalog, const timing &position, const std::string &code) {
    filling_.lines.push_back({catalog, position, code});
}

void analysis_worker::hand_over() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return waiting_.size() < MAX_WAITING; });
    waiting_.push_back(std::move(filling_));
    filling_ = block();
    ++handed_;
    lock.unlock();
    changed_.notify_all();
}

void analysis_worker::run() {
    for (;;) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return !waiting_.empty() || closing_; });
        if (waiting_.empty()) {
            return;
        }
        block next = std::move(waiting_.front());
        waiting_.pop_front();
        busy_ = true;
        lock.unlock();
        changed_.notify_all();
        for (size_t at = 0; at < next.q.size(); at += SUBCHANNEL_Q_SIZE) {
            analysis_.add_sector(&next.q[at]);
        }
        for (const code_line &line : next.lines) {
            analysis_.add_code_line(line.catalog, line.position, line.code);
        }
        sectors_ = analysis_.sectors();
        track_ = analysis_.current_track();
        isrcs_ = analysis_.isrcs_found();
        lock.lock();
        busy_ = false;
        lock.unlock();
        changed_.notify_all();
    }
}

const analysis &analysis_worker::settled() {
    hand_over();
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return waiting_.empty() && !busy_; });
    return analysis_;
}

disc_report analysis_worker::finish(std::optional<int64_t> end) {
    settled();
    return analysis_.finish(end);
}

} // namespace report
