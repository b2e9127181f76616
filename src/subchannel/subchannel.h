// Q sub-channel decoding and disc position arithmetic.
//
// Pure computation on caller-supplied buffers: no I/O, no state, no allocation.
#pragma once

#include <cstdint>

// Decoder failures, numbered above every errno value.
constexpr int SUBQ_CRC_ERROR = 0x8000;
constexpr int SUBQ_DATA_ERROR = 0x8001;

constexpr int SUBCHANNEL_RAW_SIZE = 96; // one byte per P-W symbol of a sector
constexpr int SUBCHANNEL_Q_SIZE = 12;   // control/ADR, nine data bytes, CRC

constexpr int MSF_FRAMES_PER_SECOND = 75;
constexpr int MSF_SECONDS_PER_MINUTE = 60;
constexpr int TIMING_LEAD_OUT_TRACK = 110; // BCD AA

// A disc time: minutes, seconds (0-59), frames (0-74). One frame is one sector.
struct msf {
    uint8_t m;
    uint8_t s;
    uint8_t f;
};

// A position as a mode-1 Q frame carries it, and as the scan keeps it.
struct timing {
    uint8_t track;
    uint8_t index;
    msf rel; // time within the track
    msf abs; // time on the disc
};

struct subq_catalog {
    char mcn[13];
    uint8_t abs_f;
};

struct subq_recording {
    char isrc[12];
    uint8_t abs_f;
};

// A decoded Q frame. The payload that is valid depends on the mode, the high
// nibble of mode_control: 1 position, 2 catalog, 3 recording.
struct subq {
    uint8_t mode_control; // ADR (the mode) high, CONTROL low
    union {
        timing position;
        subq_catalog catalog;
        subq_recording recording;
    };
};

static_assert(sizeof(msf) == 3);
static_assert(sizeof(timing) == 8, "a mode-1 payload is copied whole into the running position");

inline int subq_mode(const subq *q) {
    return q->mode_control >> 4;
}

// Gathers the Q bit (bit 6) of the 96 raw bytes into the 12 Q bytes.
void subchannel_extract_q(const uint8_t raw[SUBCHANNEL_RAW_SIZE], uint8_t q[SUBCHANNEL_Q_SIZE]);

// How this build gathers them: "sse2" or "portable".
const char *subchannel_extract_q_method();

// The same without vector instructions (eight raw bytes per multiplication),
// for processors without SSE2; subchannel_extract_q uses it there.
void subchannel_extract_q_portable(const uint8_t raw[SUBCHANNEL_RAW_SIZE],
                                   uint8_t q[SUBCHANNEL_Q_SIZE]);

// The bit-at-a-time form, kept as the reference the fast forms are checked
// against.
void subchannel_extract_q_reference(const uint8_t raw[SUBCHANNEL_RAW_SIZE],
                                    uint8_t q[SUBCHANNEL_Q_SIZE]);

// CRC-16/CCITT (polynomial 0x1021, initial 0, no reflection) over len bytes,
// two bytes a step.
uint16_t subchannel_crc16(const uint8_t *data, int len);

// The same a byte at a time with the 256-entry table: the reference.
uint16_t subchannel_crc16_reference(const uint8_t *data, int len);

// 0 when the stored CRC (bytes 10-11) is the complement of the CRC of bytes 0-9.
int subchannel_check_crc(const uint8_t q[SUBCHANNEL_Q_SIZE]);

// 0, SUBQ_CRC_ERROR (nothing written) or SUBQ_DATA_ERROR (fields written,
// one of them out of range).
int subchannel_decode_q(const uint8_t q[SUBCHANNEL_Q_SIZE], subq *out);

// Adds frames (>= 0) to a time, carrying into seconds and minutes; minutes wrap
// as an unsigned byte.
void msf_add(uint32_t frames, msf *time);

// Advances both times of a position; track and index stay.
void timing_add(timing *position, uint32_t frames);

// Moves a position forward by 0-74 frames so that abs.f becomes abs_f (0-74).
void timing_sync(timing *position, int abs_f);
