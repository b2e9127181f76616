// The position invariants are part of the tool's behaviour: keep them checked
// in every build type.
#undef NDEBUG
#include "subchannel/subchannel.h"

#include <array>
#include <bit>
#include <cassert>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr std::array<uint16_t, 256> make_crc_table() {
    std::array<uint16_t, 256> table{};
    for (int byte = 0; byte < 256; ++byte) {
        uint16_t crc = static_cast<uint16_t>(byte << 8);
        for (int bit = 0; bit < 8; ++bit) {
            crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
        }
        table[byte] = crc;
    }
    return table;
}

constexpr std::array<uint16_t, 256> crc_table = make_crc_table();

uint16_t crc_step(uint16_t crc, uint8_t byte) {
    return static_cast<uint16_t>((crc << 8) ^ crc_table[(crc >> 8) ^ byte]);
}

// Two byte steps of the table at once. With u = (crc >> 8) ^ b0 and
// v = (crc & 0xFF) ^ b1, stepping b0 then b1 gives crc_pair_table[u] ^
// crc_table[v] (the CRC is linear), and the two look-ups need not wait for
// each other.
constexpr std::array<uint16_t, 256> make_crc_pair_table() {
    std::array<uint16_t, 256> table{};
    for (int u = 0; u < 256; ++u) {
        const uint16_t once = crc_table[u];
        table[u] = static_cast<uint16_t>(((once & 0xFF) << 8) ^ crc_table[once >> 8]);
    }
    return table;
}

constexpr std::array<uint16_t, 256> crc_pair_table = make_crc_pair_table();

// Eight bytes, the first in the lowest bits, whatever the machine's order.
uint64_t load_le64(const uint8_t *bytes) {
    uint64_t value;
    std::memcpy(&value, bytes, sizeof value);
    if constexpr (std::endian::native == std::endian::big) {
        uint64_t swapped = 0;
        for (int i = 0; i < 8; ++i) {
            swapped = (swapped << 8) | ((value >> (8 * i)) & 0xFF);
        }
        value = swapped;
    }
    return value;
}

int bcd(uint8_t byte) {
    return (byte >> 4) * 10 + (byte & 0x0F);
}

char digit(int nibble) {
    return static_cast<char>('0' + nibble);
}

} // namespace

void subchannel_extract_q(const uint8_t raw[SUBCHANNEL_RAW_SIZE], uint8_t q[SUBCHANNEL_Q_SIZE]) {
#if defined(__SSE2__)
    // Sixteen raw bytes, two Q bytes at a time: move each byte's Q bit up to
    // bit 7, reverse the order of the bytes within each half, and let
    // movemask gather the top bits, first raw byte into the highest bit.
    for (int k = 0; k < SUBCHANNEL_Q_SIZE; k += 2) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(raw + 8 * k));
        v = _mm_slli_epi16(v, 1);
        v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8)); // swap bytes of each word
        v = _mm_shufflelo_epi16(v, _MM_SHUFFLE(0, 1, 2, 3));          // then the words of each half
        v = _mm_shufflehi_epi16(v, _MM_SHUFFLE(0, 1, 2, 3));
        const int bits = _mm_movemask_epi8(v);
        q[k] = static_cast<uint8_t>(bits);
        q[k + 1] = static_cast<uint8_t>(bits >> 8);
    }
#else
    subchannel_extract_q_portable(raw, q);
#endif
}

const char *subchannel_extract_q_method() {
#if defined(__SSE2__)
    return "sse2";
#else
    return "portable";
#endif
}

void subchannel_extract_q_portable(const uint8_t raw[SUBCHANNEL_RAW_SIZE],
                                   uint8_t q[SUBCHANNEL_Q_SIZE]) {
    // Eight raw bytes at once: isolate bit 6 of each, leaving byte i's bit at
    // bit 8i, then one multiplication moves byte i's bit to bit 63 - i. The
    // shifted copies never overlap, so no carry disturbs the top byte.
    for (int k = 0; k < SUBCHANNEL_Q_SIZE; ++k) {
        const uint64_t bits = (load_le64(raw + 8 * k) >> 6) & 0x0101010101010101ULL;
        q[k] = static_cast<uint8_t>((bits * 0x8040201008040201ULL) >> 56);
    }
}

void subchannel_extract_q_reference(const uint8_t raw[SUBCHANNEL_RAW_SIZE],
                                    uint8_t q[SUBCHANNEL_Q_SIZE]) {
    uint8_t accumulator = 0;
    for (int i = 0; i < SUBCHANNEL_RAW_SIZE; ++i) {
        accumulator = static_cast<uint8_t>((accumulator << 1) | ((raw[i] >> 6) & 1));
        if (i % 8 == 7) {
            q[i / 8] = accumulator;
        }
    }
}

uint16_t subchannel_crc16(const uint8_t *data, int len) {
    uint16_t crc = 0;
    int i = 0;
    for (; i + 1 < len; i += 2) {
        crc = crc_pair_table[(crc >> 8) ^ data[i]] ^ crc_table[(crc & 0xFF) ^ data[i + 1]];
    }
    if (i < len) {
        crc = crc_step(crc, data[i]);
    }
    return crc;
}

uint16_t subchannel_crc16_reference(const uint8_t *data, int len) {
    uint16_t crc = 0;
    for (int i = 0; i < len; ++i) {
        crc = crc_step(crc, data[i]);
    }
    return crc;
}

int subchannel_check_crc(const uint8_t q[SUBCHANNEL_Q_SIZE]) {
    const uint16_t stored = static_cast<uint16_t>(q[10] << 8 | q[11]);
    const uint16_t computed = static_cast<uint16_t>(~subchannel_crc16(q, 10));
    return computed == stored ? 0 : SUBQ_CRC_ERROR;
}

namespace {

int decode_position(const uint8_t q[SUBCHANNEL_Q_SIZE], timing *position) {
    position->track = static_cast<uint8_t>(bcd(q[1]));
    position->index = static_cast<uint8_t>(bcd(q[2]));
    position->rel = {static_cast<uint8_t>(bcd(q[3])), static_cast<uint8_t>(bcd(q[4])),
                     static_cast<uint8_t>(bcd(q[5]))};
    position->abs = {static_cast<uint8_t>(bcd(q[7])), static_cast<uint8_t>(bcd(q[8])),
                     static_cast<uint8_t>(bcd(q[9]))};
    const bool track_ok = position->track <= 99 || position->track == TIMING_LEAD_OUT_TRACK;
    const bool in_range = track_ok && position->index <= 99 && position->rel.m <= 99 &&
                          position->rel.s <= 59 && position->rel.f <= 74 && position->abs.m <= 99 &&
                          position->abs.s <= 59 && position->abs.f <= 74;
    return in_range ? 0 : SUBQ_DATA_ERROR;
}

int decode_catalog(const uint8_t q[SUBCHANNEL_Q_SIZE], subq_catalog *catalog) {
    // Thirteen nibbles from byte 1 high onward; the low nibble of byte 7 and
    // byte 8 are unused.
    for (int n = 0; n < 13; ++n) {
        const uint8_t byte = q[1 + n / 2];
        catalog->mcn[n] = digit(n % 2 == 0 ? byte >> 4 : byte & 0x0F);
    }
    catalog->abs_f = static_cast<uint8_t>(bcd(q[9]));
    return catalog->abs_f <= 74 ? 0 : SUBQ_DATA_ERROR;
}

int decode_recording(const uint8_t q[SUBCHANNEL_Q_SIZE], subq_recording *recording) {
    // Five 6-bit characters in the top 30 bits of bytes 1-4, then seven BCD
    // digits from byte 5 high to byte 8 high.
    const uint32_t packed = static_cast<uint32_t>(q[1]) << 24 | static_cast<uint32_t>(q[2]) << 16 |
                            static_cast<uint32_t>(q[3]) << 8 | q[4];
    for (int c = 0; c < 5; ++c) {
        recording->isrc[c] = static_cast<char>(((packed >> (26 - 6 * c)) & 0x3F) + 0x30);
    }
    for (int n = 0; n < 7; ++n) {
        const uint8_t byte = q[5 + n / 2];
        recording->isrc[5 + n] = digit(n % 2 == 0 ? byte >> 4 : byte & 0x0F);
    }
    recording->abs_f = static_cast<uint8_t>(bcd(q[9]));
    return recording->abs_f <= 74 ? 0 : SUBQ_DATA_ERROR;
}

} // namespace

int subchannel_decode_q(const uint8_t q[SUBCHANNEL_Q_SIZE], subq *out) {
    if (subchannel_check_crc(q) != 0) {
        return SUBQ_CRC_ERROR;
    }
    out->mode_control = static_cast<uint8_t>((q[0] << 4) | (q[0] >> 4));
    switch (subq_mode(out)) {
    case 1:
        return decode_position(q, &out->position);
    case 2:
        return decode_catalog(q, &out->catalog);
    case 3:
        return decode_recording(q, &out->recording);
    default:
        return 0;
    }
}

void msf_add(uint32_t frames, msf *msf) {
    uint32_t carry = frames / MSF_FRAMES_PER_SECOND;
    uint32_t f = msf->f + frames % MSF_FRAMES_PER_SECOND;
    if (f >= MSF_FRAMES_PER_SECOND) {
        f -= MSF_FRAMES_PER_SECOND;
        ++carry;
    }
    uint32_t minutes = carry / MSF_SECONDS_PER_MINUTE;
    uint32_t s = msf->s + carry % MSF_SECONDS_PER_MINUTE;
    if (s >= MSF_SECONDS_PER_MINUTE) {
        s -= MSF_SECONDS_PER_MINUTE;
        ++minutes;
    }
    msf->f = static_cast<uint8_t>(f);
    msf->s = static_cast<uint8_t>(s);
    msf->m = static_cast<uint8_t>(msf->m + minutes);
    assert(msf->f < 75);
    assert(msf->s < 60);
}

void timing_add(timing *timing, uint32_t frames) {
    msf_add(frames, &timing->rel);
    msf_add(frames, &timing->abs);
}

void timing_sync(timing *timing, int abs_f) {
    int d = abs_f - timing->abs.f;
    if (d < 0) {
        d += MSF_FRAMES_PER_SECOND;
    }
    timing_add(timing, static_cast<uint32_t>(d));
    assert(timing->abs.f == abs_f);
}
