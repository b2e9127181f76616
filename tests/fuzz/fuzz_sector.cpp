// Decoding and the running position on arbitrary sectors. The first byte
// chooses how the rest is read: as raw 96-byte sub-channel blocks (mostly
// damaged frames), or as 10-byte Q payloads sealed with a valid CRC, so that
// every mode and every out-of-range field reaches the decoder and the
// position update.
#include "discgen.h"
#include "fuzz_support.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz_discard_stdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) {
        return 0;
    }
    const scan_options options = fuzz_all_options();
    timing position = SCAN_DISC_START;
    const bool sealed = data[0] & 1;
    const uint8_t noise = data[0] & 0xBE; // the P and R-W bits of every symbol
    ++data;
    --size;
    uint32_t sector = 0;
    if (!sealed) {
        for (; size >= DEVICE_RAW_BLOCK_SIZE; data += DEVICE_RAW_BLOCK_SIZE, size -= 96) {
            scan_sector(&options, sector++, data, &position);
        }
        return 0;
    }
    for (; size >= 10; data += 10, size -= 10) {
        uint8_t q[12];
        for (int i = 0; i < 10; ++i) {
            q[i] = data[i];
        }
        discgen_seal(q);
        uint8_t raw[DEVICE_RAW_BLOCK_SIZE];
        for (int symbol = 0; symbol < DEVICE_RAW_BLOCK_SIZE; ++symbol) {
            const int bit = (q[symbol / 8] >> (7 - symbol % 8)) & 1;
            raw[symbol] = static_cast<uint8_t>(noise | bit << 6);
        }
        scan_sector(&options, sector++, raw, &position);
    }
    return 0;
}
