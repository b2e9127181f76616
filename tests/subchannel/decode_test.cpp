#include "subchannel/subchannel.h"
#include "support/frames.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>

namespace {

TEST(Crc, MatchesTheCatalogueCheckValue) {
    const char *check = "123456789";
    const uint16_t crc = subchannel_crc16(reinterpret_cast<const uint8_t *>(check), 9);
    EXPECT_EQ(crc, 0x31C3);                         // CRC-16/XMODEM
    EXPECT_EQ(static_cast<uint16_t>(~crc), 0xCE3C); // CRC-16/GSM, the form the disc stores
}

TEST(Crc, TwoBytesAStepMatchesTheByteTable) {
    EXPECT_EQ(subchannel_crc16_reference(reinterpret_cast<const uint8_t *>("123456789"), 9),
              0x31C3);
    std::mt19937 random(7);
    uint8_t data[16];
    for (int run = 0; run < 20000; ++run) {
        for (uint8_t &byte : data) {
            byte = static_cast<uint8_t>(random());
        }
        const int len = run % 17;
        ASSERT_EQ(subchannel_crc16(data, len), subchannel_crc16_reference(data, len))
            << "length " << len;
    }
}

TEST(Crc, TenZeroBytesNeedAStoredFFFF) {
    q_bytes zeros{};
    EXPECT_EQ(subchannel_check_crc(zeros.data()), SUBQ_CRC_ERROR);
    zeros[10] = zeros[11] = 0xFF;
    EXPECT_EQ(subchannel_check_crc(zeros.data()), 0);
}

struct decode_row {
    const char *name;
    q_bytes q;
    int status;
    int mode;
};

// Frames whose CRC is right, so the outcome rests on the mode and the ranges.
q_bytes mode1_with(int byte, uint8_t value) {
    std::array<uint8_t, 10> data = {0x01, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00};
    data[byte] = value;
    return q_sealed(data);
}

q_bytes mode_with_abs_f(int mode, uint8_t abs_f) {
    return q_sealed(
        {static_cast<uint8_t>(mode), 0x12, 0x34, 0x56, 0x78, 0x90, 0x12, 0x30, 0, abs_f});
}

TEST(Decode, StatusByModeAndRange) {
    const decode_row rows[] = {
        {"real first frame of a disc", q_from_hex("01 01 01 00 00 00 00 00 02 00 5A 28"), 0, 1},
        {"its last byte changed", q_from_hex("01 01 01 00 00 00 00 00 02 00 5A 29"), SUBQ_CRC_ERROR,
         -1},
        {"twelve zero bytes", q_bytes{}, SUBQ_CRC_ERROR, -1},
        {"lead-out track AA", mode1_with(1, 0xAA), 0, 1},
        {"track B0 also converts to 110", mode1_with(1, 0xB0), 0, 1},
        {"track A0 is 100", mode1_with(1, 0xA0), SUBQ_DATA_ERROR, 1},
        {"track 9F is 105", mode1_with(1, 0x9F), SUBQ_DATA_ERROR, 1},
        {"track 99", mode1_with(1, 0x99), 0, 1},
        {"index 1F converts to 25", mode1_with(2, 0x1F), 0, 1},
        {"index A0 is 100", mode1_with(2, 0xA0), SUBQ_DATA_ERROR, 1},
        {"relative minute 99", mode1_with(3, 0x99), 0, 1},
        {"relative second 60", mode1_with(4, 0x60), SUBQ_DATA_ERROR, 1},
        {"relative second 59", mode1_with(4, 0x59), 0, 1},
        {"relative frame 75", mode1_with(5, 0x75), SUBQ_DATA_ERROR, 1},
        {"byte 6 is never looked at", mode1_with(6, 0xFF), 0, 1},
        {"absolute minute A0", mode1_with(7, 0xA0), SUBQ_DATA_ERROR, 1},
        {"absolute second 60", mode1_with(8, 0x60), SUBQ_DATA_ERROR, 1},
        {"absolute frame 75", mode1_with(9, 0x75), SUBQ_DATA_ERROR, 1},
        {"absolute frame 74", mode1_with(9, 0x74), 0, 1},
        {"catalog at frame 74", mode_with_abs_f(2, 0x74), 0, 2},
        {"catalog at frame 75", mode_with_abs_f(2, 0x75), SUBQ_DATA_ERROR, 2},
        {"recording at frame 74", mode_with_abs_f(3, 0x74), 0, 3},
        {"recording at frame 75", mode_with_abs_f(3, 0x75), SUBQ_DATA_ERROR, 3},
        {"mode 0", mode_with_abs_f(0, 0xFF), 0, 0},
        {"mode 5", mode_with_abs_f(5, 0xFF), 0, 5},
        {"mode 15 with control 0xF", mode_with_abs_f(0xFF, 0xFF), 0, 15},
    };
    for (const decode_row &row : rows) {
        subq out;
        std::memset(&out, 0xEE, sizeof out);
        EXPECT_EQ(subchannel_decode_q(row.q.data(), &out), row.status) << row.name;
        if (row.mode >= 0) {
            EXPECT_EQ(subq_mode(&out), row.mode) << row.name;
        } else {
            EXPECT_EQ(out.mode_control, 0xEE) << row.name << ": a CRC failure writes nothing";
        }
    }
}

TEST(Decode, PositionFrameFields) {
    subq out;
    ASSERT_EQ(subchannel_decode_q(q_from_hex("01 01 01 00 00 00 00 00 02 00 5A 28").data(), &out),
              0);
    EXPECT_EQ(out.mode_control, 0x10);
    const timing &p = out.position;
    EXPECT_EQ(p.track, 1);
    EXPECT_EQ(p.index, 1);
    EXPECT_EQ(p.rel.m, 0);
    EXPECT_EQ(p.rel.s, 0);
    EXPECT_EQ(p.rel.f, 0);
    EXPECT_EQ(p.abs.m, 0);
    EXPECT_EQ(p.abs.s, 2);
    EXPECT_EQ(p.abs.f, 0);

    // Copy-permitted audio in track 12, index 3: the nibbles of byte 0 swap.
    const q_bytes busy = q_sealed({0x21, 0x12, 0x03, 0x45, 0x59, 0x74, 0x00, 0x78, 0x09, 0x33});
    ASSERT_EQ(subchannel_decode_q(busy.data(), &out), 0);
    EXPECT_EQ(out.mode_control, 0x12);
    EXPECT_EQ(out.position.track, 12);
    EXPECT_EQ(out.position.index, 3);
    EXPECT_EQ(out.position.rel.m, 45);
    EXPECT_EQ(out.position.rel.s, 59);
    EXPECT_EQ(out.position.rel.f, 74);
    EXPECT_EQ(out.position.abs.m, 78);
    EXPECT_EQ(out.position.abs.s, 9);
    EXPECT_EQ(out.position.abs.f, 33);
}

TEST(Decode, OutOfRangeFieldsAreStillWritten) {
    subq out;
    ASSERT_EQ(subchannel_decode_q(mode1_with(4, 0x60).data(), &out), SUBQ_DATA_ERROR);
    EXPECT_EQ(out.mode_control, 0x10);
    EXPECT_EQ(out.position.rel.s, 60);
}

TEST(Decode, CatalogDigitsIncludingNonDecimalNibbles) {
    subq out;
    const q_bytes q = q_sealed({0x02, 0x07, 0x24, 0x38, 0x49, 0x60, 0x65, 0x0F, 0xFF, 0x41});
    ASSERT_EQ(subchannel_decode_q(q.data(), &out), 0);
    EXPECT_EQ(std::string(out.catalog.mcn, 13), "0724384960650");
    EXPECT_EQ(out.catalog.abs_f, 41);

    const q_bytes odd = q_sealed({0x02, 0xAB, 0xCD, 0xEF, 0x00, 0x00, 0x00, 0xA0, 0x00, 0x00});
    ASSERT_EQ(subchannel_decode_q(odd.data(), &out), 0);
    EXPECT_EQ(std::string(out.catalog.mcn, 13), ":;<=>?000000:");
}

TEST(Decode, RecordingCodesAndDigits) {
    subq out;
    ASSERT_EQ(subchannel_decode_q(q_recording("USRC17607839", 5).data(), &out), 0);
    EXPECT_EQ(std::string(out.recording.isrc, 12), "USRC17607839");
    EXPECT_EQ(out.recording.abs_f, 5);

    // Codes 0x11 (A), 0x2A (Z), 0x00 (0), then 0x0A and 0x3F, which no ISRC
    // uses and which map on all the same.
    const q_bytes edges = q_recording("AZ0:o0123459", 74);
    EXPECT_EQ(edges[1], 0x11 << 2 | 0x2A >> 4);
    ASSERT_EQ(subchannel_decode_q(edges.data(), &out), 0);
    EXPECT_EQ(std::string(out.recording.isrc, 12), "AZ0:o0123459");
    EXPECT_EQ(out.recording.abs_f, 74);
}

TEST(Decode, RecordingIgnoresTheLowBitsOfBytes4And8) {
    const q_bytes q = q_recording("GBAQE1234567", 10);
    std::array<uint8_t, 10> data;
    std::copy(q.begin(), q.begin() + 10, data.begin());
    data[4] |= 0x03;
    data[8] |= 0x0F;
    subq out;
    ASSERT_EQ(subchannel_decode_q(q_sealed(data).data(), &out), 0);
    EXPECT_EQ(std::string(out.recording.isrc, 12), "GBAQE1234567");
}

TEST(Extract, BitSixOfEightBytesMakesOneQByte) {
    uint8_t raw[96];
    std::memset(raw, 0xBF, sizeof raw); // every bit but Q set
    uint8_t q[12];
    subchannel_extract_q(raw, q);
    for (uint8_t byte : q) {
        EXPECT_EQ(byte, 0x00);
    }
    std::memset(raw, 0x40, sizeof raw);
    subchannel_extract_q(raw, q);
    for (uint8_t byte : q) {
        EXPECT_EQ(byte, 0xFF);
    }
    subq out;
    EXPECT_EQ(subchannel_decode_q(q, &out), SUBQ_CRC_ERROR);

    // A lone Q bit in raw byte 8k+i lands in bit 7-i of Q byte k.
    for (int symbol = 0; symbol < 96; ++symbol) {
        std::memset(raw, 0xBF, sizeof raw);
        raw[symbol] |= 0x40;
        subchannel_extract_q(raw, q);
        for (int k = 0; k < 12; ++k) {
            const uint8_t expected = k == symbol / 8 ? 0x80 >> (symbol % 8) : 0;
            ASSERT_EQ(q[k], expected) << "symbol " << symbol;
        }
    }
}

TEST(Extract, FastFormsMatchTheReferenceOnRandomBlocks) {
    // The build's own form is the one its compiler flags promise.
    EXPECT_STREQ(subchannel_extract_q_method(), QSCAN_EXPECTED_EXTRACTION);
    std::printf("Q bits gathered the %s way\n", subchannel_extract_q_method());
    std::mt19937 random(12345);
    uint8_t raw[96 + 1];
    uint8_t fast[12], portable[12], reference[12];
    for (int block = 0; block < 20000; ++block) {
        for (uint8_t &byte : raw) {
            byte = static_cast<uint8_t>(random());
        }
        const uint8_t *unaligned = raw + block % 2; // blocks need not be aligned
        subchannel_extract_q(unaligned, fast);
        subchannel_extract_q_portable(unaligned, portable);
        subchannel_extract_q_reference(unaligned, reference);
        ASSERT_EQ(std::memcmp(fast, reference, 12), 0) << "block " << block;
        ASSERT_EQ(std::memcmp(portable, reference, 12), 0) << "block " << block;
    }
}

} // namespace
