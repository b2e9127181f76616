#include "report/dump_input.h"

#include <cerrno>
#include <cstring>
#include <vector>

namespace report {

dump_result read_subchannel_dump(FILE *file, const std::string &name, dump_layout layout,
                                 const std::function<void(const uint8_t *q)> &sector,
                                 const std::function<void()> &progress) {
    constexpr size_t SECTORS_PER_READ = 4096;
    std::vector<uint8_t> block(SECTORS_PER_READ * SUBCHANNEL_RAW_SIZE);
    dump_result result;
    size_t held = 0; // bytes of a sector carried over from the last read
    for (;;) {
        const size_t got = std::fread(block.data() + held, 1, block.size() - held, file);
        held += got;
        const size_t whole = held / SUBCHANNEL_RAW_SIZE;
        for (size_t i = 0; i < whole; ++i) {
            const uint8_t *raw = block.data() + i * SUBCHANNEL_RAW_SIZE;
            uint8_t q[SUBCHANNEL_Q_SIZE];
            if (layout == dump_layout::interleaved) {
                subchannel_extract_q(raw, q);
            } else {
                std::memcpy(q, raw + SUBCHANNEL_Q_SIZE, SUBCHANNEL_Q_SIZE);
            }
            sector(q);
        }
        result.sectors += whole;
        held -= whole * SUBCHANNEL_RAW_SIZE;
        std::memmove(block.data(), block.data() + whole * SUBCHANNEL_RAW_SIZE, held);
        if (got == 0) {
            break;
        }
        progress();
    }
    if (std::ferror(file)) {
        result.error = name + ": cannot be read: " + std::strerror(errno);
    }
    result.stray_bytes = held;
    return result;
}

} // namespace report
