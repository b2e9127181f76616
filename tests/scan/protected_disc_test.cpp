// Q frames from a real copy-protected disc. Ape Escape (Europe) carries 32
// sectors whose Q frames were altered on purpose (LibCrypt): position frames
// with flipped bits and a CRC that no longer matches. The list, as disc
// preservation projects record it, gives for each such sector its absolute
// time (3 BCD bytes) and the 12 Q bytes it reads back as.
#include "discgen.h"
#include "support/images.h"
#include "support/process.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>

namespace {

int from_bcd(uint8_t byte) {
    return (byte >> 4) * 10 + (byte & 15);
}

TEST(ProtectedDisc, EveryAlteredSectorIsADamagedFrameAndThePositionCarriesOn) {
    std::ifstream in(QSCAN_TEST_DATA "/ape-escape-europe.lsd", std::ios::binary);
    const std::vector<uint8_t> records{std::istreambuf_iterator<char>(in), {}};
    ASSERT_EQ(records.size(), 32u * 15);

    // A data track (CONTROL 4) long enough for the last altered sector, with
    // the altered frames put where the list says.
    std::string description = "control 4\ntrack - length 9:50.00\n";
    std::set<uint32_t> altered;
    for (size_t at = 0; at < records.size(); at += 15) {
        const uint32_t lba =
            static_cast<uint32_t>(from_bcd(records[at]) * 4500 + from_bcd(records[at + 1]) * 75 +
                                  from_bcd(records[at + 2]) - 150);
        altered.insert(lba);
        description += "at " + std::to_string(lba) + " q";
        for (size_t i = 3; i < 15; ++i) {
            char hex[4];
            std::snprintf(hex, sizeof hex, " %02x", records[at + i]);
            description += hex;
        }
        description += "\n";
    }
    discgen_description disc;
    ASSERT_EQ(discgen_parse(description, &disc), "");
    const std::vector<discgen_frame> frames = discgen_frames(disc);
    const std::string image = write_file("ape-escape.sub", discgen_image(frames, true, 4));

    std::string expected_errors;
    for (uint32_t lba : altered) {
        expected_errors += "subchannel crc error in sector " + std::to_string(lba) + "\n";
    }
    EXPECT_EQ(run_qscan({"-e", "X:"}, image).out, expected_errors);

    const process_result full = run_qscan({"-e", "-t", "-p", "X:"}, image);
    EXPECT_TRUE(full.out == discgen_expected_report(frames, "etp"))
        << "the scan differs from the generator's reading of the disc";
    // Right after the first altered sector the position frames resume.
    EXPECT_NE(full.out.find("subchannel crc error in sector 13955\n"
                            "1  1.01 03:06.06 03:08.06\n"
                            " 1.01 03:06.06 03:08.06\n"),
              std::string::npos);
}

} // namespace
