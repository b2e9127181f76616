#include "report/spool.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>

#ifdef _WIN32
#include <process.h>
#define process_id _getpid
#else
#include <unistd.h>
#define process_id getpid
#endif

namespace report {

namespace {

// A new file in the system's folder for temporary files, removed when it is
// closed (Windows) or at once (elsewhere); nullptr, errno set, where none
// can be made. tmpfile() would write to the root of the drive on Windows.
FILE *temporary_file() {
    static std::atomic<unsigned> made{0};
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    if (error) {
        errno = error.value();
        return nullptr;
    }
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    const std::string name = "qscan-report-" + std::to_string(process_id()) + "-" +
                             std::to_string(made++) + "-" + std::to_string(now) + ".tmp";
    const std::string path = (folder / name).string();
#ifdef _WIN32
    return std::fopen(path.c_str(), "w+bTD");
#else
    FILE *file = std::fopen(path.c_str(), "w+b");
    if (file != nullptr) {
        std::remove(path.c_str());
    }
    return file;
#endif
}

} // namespace

record_spool::~record_spool() {
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

record_spool::record_spool(record_spool &&other) noexcept
    : size_(other.size_), block_(std::move(other.block_)), at_(other.at_), held_(other.held_),
      file_(other.file_), failed_(other.failed_), error_(other.error_), written_(other.written_) {
    other.file_ = nullptr;
}

bool record_spool::flush() {
    if (at_ > 0 && std::fwrite(block_.data(), 1, at_, file_) != at_) {
        failed_ = true;
        error_ = errno;
    }
    at_ = 0;
    return !failed_;
}

void record_spool::write(const void *record) {
    if (failed_) {
        return;
    }
    if (file_ == nullptr) {
        if ((file_ = temporary_file()) == nullptr) {
            failed_ = true;
            error_ = errno;
            return;
        }
        block_.resize(BLOCK_RECORDS * size_);
    }
    if (at_ == block_.size() && !flush()) {
        return;
    }
    std::memcpy(block_.data() + at_, record, size_);
    at_ += size_;
    ++written_;
}

std::string record_spool::rewind() {
    if (!failed_ && file_ != nullptr &&
        (!flush() || std::fflush(file_) != 0 || std::fseek(file_, 0, SEEK_SET) != 0)) {
        failed_ = true;
        error_ = errno;
    }
    held_ = 0;
    at_ = 0;
    return failed_ ? std::string("a temporary file for the merge cannot be written: ") +
                         std::strerror(error_)
                   : "";
}

bool record_spool::read(void *record) {
    if (file_ == nullptr || failed_) {
        return false;
    }
    if (at_ == held_) {
        held_ = std::fread(block_.data(), 1, block_.size(), file_);
        at_ = 0;
        if (held_ < size_) {
            return false;
        }
    }
    std::memcpy(record, block_.data() + at_, size_);
    at_ += size_;
    return true;
}

} // namespace report
