#include "discgen.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(Discgen, RejectsWhatItCannotWrite) {
    discgen_description description;
    EXPECT_NE(discgen_parse("", &description), "");
    EXPECT_NE(discgen_parse("track - length 0:61.00", &description), "");
    EXPECT_NE(discgen_parse("track us1234567890 length 1:00.00", &description), "");
    EXPECT_NE(discgen_parse("track - length 1:00.00\nmcn 123", &description), "");
    EXPECT_NE(discgen_parse("track - length 1:00.00\nat 3 mode 1", &description), "");
    EXPECT_NE(discgen_parse("track - length 1:00.00\nfrobnicate", &description), "");
    EXPECT_EQ(discgen_parse("track - length 1:00.00 # one minute", &description), "");
    // Times a Q frame cannot carry, and none that wraps the sector counter.
    struct row {
        const char *text, *error;
    } rows[] = {
        {"track - length 954438:00.00", "line 1: a time is M:SS.FF, at most 99:59.74"},
        {"track - length 99999999999999999999:00.00", "line 1: a time is"},
        {"track - length 1:00.00\nleadout 100:00.00", "line 2: a time is"},
        {"track - length 60:00.00\ntrack - length 39:58.00", ""},
        {"track - length 60:00.00\ntrack - length 39:58.01", "line 2: the disc runs past 99:59.74"},
    };
    for (const row &r : rows) {
        const std::string error = discgen_parse(r.text, &description);
        EXPECT_EQ(error.substr(0, std::strlen(r.error)), r.error) << r.text;
        EXPECT_EQ(error.empty(), *r.error == '\0') << r.text;
    }
}

TEST(Discgen, LaysOutPausesTracksAndLeadOut) {
    discgen_description description;
    ASSERT_EQ(discgen_parse("track - length 0:00.10\n"
                            "track - pregap 0:00.03 length 0:00.05\n"
                            "leadout 0:00.02\n",
                            &description),
              "");
    const std::vector<discgen_frame> frames = discgen_frames(description);
    ASSERT_EQ(frames.size(), 20u);
    EXPECT_EQ(frames[0].abs_s, 2);
    EXPECT_EQ(frames[0].abs_f, 0);
    // The pause before track 2 counts down to zero, then index 1 counts up.
    const int pause_rel[] = {2, 1, 0};
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(frames[10 + k].track, 2);
        EXPECT_EQ(frames[10 + k].index, 0);
        EXPECT_EQ(frames[10 + k].rel_f, pause_rel[k]);
    }
    EXPECT_EQ(frames[13].index, 1);
    EXPECT_EQ(frames[13].rel_f, 0);
    EXPECT_EQ(frames[18].track, 110);
    EXPECT_EQ(frames[18].q[1], 0xAA);
    EXPECT_EQ(frames[19].abs_f, 19);
    for (const discgen_frame &frame : frames) {
        EXPECT_EQ(frame.kind, discgen_kind::position);
    }
}

TEST(Discgen, CatalogRecordingAndDamageRates) {
    discgen_description description;
    ASSERT_EQ(discgen_parse("mcn 0724384960650\nmcn_every 100\nisrc_every 100\ndamage 0.01\n"
                            "track USRC17607839 length 2:00.00\n",
                            &description),
              "");
    int counts[6] = {};
    for (const discgen_frame &frame : discgen_frames(description)) {
        ++counts[static_cast<int>(frame.kind)];
        if (frame.kind == discgen_kind::recording) {
            EXPECT_EQ(frame.text, "USRC17607839");
        }
        if (frame.kind == discgen_kind::catalog) {
            EXPECT_EQ(frame.text, "0724384960650");
        }
    }
    EXPECT_NEAR(counts[static_cast<int>(discgen_kind::catalog)], 90, 2);
    EXPECT_NEAR(counts[static_cast<int>(discgen_kind::recording)], 90, 2);
    EXPECT_NEAR(counts[static_cast<int>(discgen_kind::crc_error)], 90, 30);
}

TEST(Discgen, OtherChannelsCarryNoise) {
    discgen_description description;
    ASSERT_EQ(discgen_parse("track - length 0:01.00", &description), "");
    const std::vector<uint8_t> raw = discgen_image(discgen_frames(description), false, 1);
    int p_set = 0, rw_set = 0;
    for (uint8_t byte : raw) {
        p_set += byte >> 7;
        rw_set += __builtin_popcount(byte & 0x3F);
    }
    EXPECT_GT(p_set, static_cast<int>(raw.size()) / 4);
    EXPECT_GT(rw_set, static_cast<int>(raw.size()) * 2);
}

} // namespace
