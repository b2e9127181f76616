// Disc-image generator: turns a short text description of an audio disc into
// its sub-channel, sector by sector, and tells what a scan of it must print.
//
// Description, one directive a line, '#' starts a comment:
//   control N             CONTROL nibble of every Q frame (default 0)
//   copy_alternate N      the copy bit flips every N frames, as SCMS does
//   first_track N         the number of the first track (default 1)
//   lead_in M:SS.FF       a lead-in of this length, carrying the first
//                         session's table of contents, then track 1's two
//                         seconds before LBA 0: the image starts before LBA 0
//   mcn DIGITS            13-digit media catalog number
//   mcn_every N           an MCN frame every N frames (0: none)
//   isrc_every N          an ISRC frame every N frames of a track with an ISRC (0: none)
//   damage RATE           share of frames with one flipped Q bit (0 to 1)
//   seed N                seed of the damage and of the noise in the other channels
//   carry_over N          the first N frames of each track's index 01 carry
//                         the previous track's ISRC, as some drives send it
//   drop_codes            the drive passes on no catalog or ISRC frame: a
//                         position frame stands in for each
//   track ISRC|- [pregap M:SS.FF] length M:SS.FF [control N] [index M:SS.FF]...
//         [pause_isrc CODE] [isrc2 CODE] [number N] [session 2]
//                         number: this track's, above the one before;
//                         session 2: the track opens a second session,
//                         after the first's lead-out and its own lead-in;
//                         index: where index 02, 03, ... begin, from the
//                         track's start; pause_isrc: the ISRC frames of its
//                         pause carry CODE; isrc2: its ISRC frames alternate
//                         between ISRC and CODE
//   leadout M:SS.FF       length of the lead-out written to the image
//   at LBA crc_error|data_error|mode N
//                         this sector's frame instead of the usual one
//   at LBA isrc|mcn [CODE]
//                         an ISRC or catalog frame, of the usual code or of
//                         CODE, which may hold any character the Q channel
//                         can carry (digits '0'-'?', ISRC letters '0'-'o')
//   at LBA abs M:SS.FF    a position frame that names the wrong time
//   at LBA q HEX*12       this sector's Q bytes, exactly
//   q_offset N [from K]   from the image's record K on (0 if not given), the
//                         drive returns the Q of the record N further on
// LBA may be a range, FIRST-LAST. Times run to 99:59.74 at most. The image
// starts at LBA 0, absolute time 00:02.00, or with the lead-in before it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct discgen_track {
    std::string isrc;              // empty: none
    uint32_t pregap;               // frames of index 0 before index 1
    uint32_t length;               // frames of index 1
    int control = -1;              // CONTROL nibble; -1: the disc's
    std::vector<uint32_t> indexes; // starts of index 02 on, in frames from index 01's
    std::string pause_isrc;        // the code of ISRC frames in its pause; empty: none
    std::string isrc2;             // a second code, on every other ISRC frame
    int number = 0;                // 0: the one after the track before
    int session = 1;               // 2: opens the second session
};

struct discgen_override {
    std::string kind; // crc_error, data_error, mcn, isrc, abs, mode, q
    std::string code; // mcn, isrc: the code carried; empty for the usual one
    uint32_t abs = 0; // abs: the time the position frame names, in frames
    int mode = 0;
    uint8_t q[12] = {};
};

struct discgen_q_offset {
    uint32_t from_lba = 0;
    int offset = 0;
};

struct discgen_description {
    int control = 0;
    uint32_t copy_alternate = 0; // 0: the copy bit holds
    int first_track = 1;
    uint32_t lead_in = 0; // frames before LBA 0
    std::string mcn;
    uint32_t mcn_every = 0;
    uint32_t isrc_every = 0;
    uint32_t carry_over = 0;
    bool drop_codes = false;
    double damage = 0;
    uint32_t seed = 1;
    std::vector<discgen_track> tracks;
    uint32_t leadout = 0;
    std::map<uint32_t, discgen_override> overrides;
    std::vector<discgen_q_offset> q_offsets;
};

// What a frame is, as a decoder must see it.
enum class discgen_kind { position, catalog, recording, unknown_mode, crc_error, data_error };

struct discgen_frame {
    uint8_t q[12];
    discgen_kind kind;
    // position frames: the decoded position; catalog and recording frames: abs_f
    int track, index, rel_m, rel_s, rel_f, abs_m, abs_s, abs_f;
    int mode;         // the ADR nibble
    std::string text; // catalog: 13 digits; recording: 12 characters
};

// Empty string on success, else what is wrong and on which line.
std::string discgen_parse(const std::string &text, discgen_description *description);

std::vector<discgen_frame> discgen_frames(const discgen_description &description);

// The image bytes: raw interleaved P-W, or deinterleaved (12 bytes a channel)
// as *.sub files hold it. P and R-W carry noise so a wrong bit never decodes.
std::vector<uint8_t> discgen_image(const std::vector<discgen_frame> &frames, bool deinterleaved,
                                   uint32_t seed);

// What qscan prints for these frames with the given option letters
// (any of "rptcie"; empty: the default, ISRC lines only).
std::string discgen_expected_report(const std::vector<discgen_frame> &frames,
                                    const std::string &options);

// Bytes 1-9 of a catalog (13 digits) or ISRC (12 characters) frame, placed at
// the absolute frame count abs_frames. q must be zero there; byte 0 and the
// CRC are the caller's.
void discgen_put_catalog(uint8_t *q, const std::string &mcn, uint32_t abs_frames);
void discgen_put_recording(uint8_t *q, const std::string &isrc, uint32_t abs_frames);

// A Q frame as a decoder must read it.
discgen_frame discgen_classify(const uint8_t q[12]);

// The Q frame's CRC, complemented, as stored in bytes 10 and 11.
void discgen_seal(uint8_t q[12]);
