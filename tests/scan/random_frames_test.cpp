// Arbitrary Q frames with valid CRCs, every mode and every out-of-range field,
// through a whole scan: the tool must never stop on an assertion, and must
// print what the generator's own reading of the frames says.
#include "discgen.h"
#include "support/images.h"
#include "support/process.h"

#include <gtest/gtest.h>

#include <random>

namespace {

uint8_t bcd(unsigned value) {
    return static_cast<uint8_t>((value / 10) << 4 | value % 10);
}

// A sealed frame: half with arbitrary bytes, half with fields in or just out
// of range, so that positions near their limits meet catalog, ISRC, damaged
// and unknown frames.
q_bytes random_frame(std::mt19937 &random) {
    std::array<uint8_t, 10> data;
    auto pick = [&](unsigned below) { return static_cast<unsigned>(random() % below); };
    if (pick(2) == 0) {
        for (uint8_t &byte : data) {
            byte = static_cast<uint8_t>(random());
        }
    } else {
        const unsigned mode = pick(8) == 0 ? pick(16) : 1 + pick(3);
        data[0] = static_cast<uint8_t>(pick(16) << 4 | mode);
        const uint8_t tracks[] = {0x00, 0x01, 0x99, 0xAA, 0xB0, bcd(pick(100))};
        data[1] = tracks[pick(6)];
        data[2] = bcd(pick(100));
        data[3] = bcd(pick(100));
        data[4] = bcd(pick(61)); // 60 now and then
        data[5] = bcd(pick(76)); // 75 now and then
        data[6] = static_cast<uint8_t>(random());
        data[7] = pick(4) == 0 ? bcd(99) : bcd(pick(100));
        data[8] = bcd(pick(60));
        data[9] = bcd(pick(76));
        if (mode == 2 || mode == 3) {
            for (int i = 1; i <= 8; ++i) {
                data[i] = static_cast<uint8_t>(random());
            }
        }
    }
    q_bytes q = q_sealed(data);
    if (pick(20) == 0) {
        q[pick(12)] ^= static_cast<uint8_t>(1 << pick(8));
    }
    return q;
}

TEST(RandomFrames, NoInputStopsTheScanAndEveryLineIsRight) {
    std::mt19937 random(20261208);
    std::vector<q_bytes> frames(60000);
    for (q_bytes &q : frames) {
        q = random_frame(random);
    }
    std::vector<discgen_frame> read_back;
    for (const q_bytes &q : frames) {
        read_back.push_back(discgen_classify(q.data()));
    }

    int kinds[6] = {};
    for (const discgen_frame &frame : read_back) {
        ++kinds[static_cast<int>(frame.kind)];
    }
    for (int kind = 0; kind < 6; ++kind) {
        EXPECT_GT(kinds[kind], 500) << "kind " << kind << " too rare to prove anything";
    }

    const std::string image = write_image("random.img", frames);
    const process_result result = run_qscan({"-r", "-p", "-t", "-c", "-i", "-e", "X:"}, image);
    EXPECT_EQ(result.signal, 0) << result.err;
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_TRUE(result.out == discgen_expected_report(read_back, "rptcie"))
        << "the scan's lines differ from the generator's reading of the frames";
}

} // namespace
