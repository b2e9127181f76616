// Records of a fixed size kept in a temporary file while a scan is read, so
// that the merge can read every scan again, in step, without holding any of
// them in memory. The file is gone once the spool is.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace report {

class record_spool {
  public:
    explicit record_spool(size_t record_size) : size_(record_size) {}
    ~record_spool();
    record_spool(const record_spool &) = delete;
    record_spool &operator=(const record_spool &) = delete;
    record_spool(record_spool &&other) noexcept;
    record_spool &operator=(record_spool &&) = delete;

    // Appends one record; a failure shows in rewind().
    void write(const void *record);
    uint64_t records() const { return written_; }

    // Back to the first record, to be read; "" or what went wrong.
    std::string rewind();
    // The next record; false after the last.
    bool read(void *record);

  private:
    // Records go to and come from the file this many at a time.
    static constexpr size_t BLOCK_RECORDS = 4096;
    bool flush();

    size_t size_;
    std::vector<unsigned char> block_;
    size_t at_ = 0;   // bytes of block_ written, or read so far
    size_t held_ = 0; // bytes of block_ read from the file
    FILE *file_ = nullptr;
    bool failed_ = false;
    int error_ = 0;
    uint64_t written_ = 0;
};

} // namespace report
