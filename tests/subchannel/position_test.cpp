#include "subchannel/subchannel.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct add_row {
    const char *name;
    msf start;
    uint32_t frames;
    msf expected;
};

TEST(MsfAdd, CarriesAndWraps) {
    const add_row rows[] = {
        {"one frame over a minute", {0, 59, 74}, 1, {1, 0, 0}},
        {"74 frames onto frame 74", {0, 0, 74}, 74, {0, 1, 73}},
        {"nothing", {12, 34, 56}, 0, {12, 34, 56}},
        {"exactly one minute", {0, 0, 0}, 60 * 75, {1, 0, 0}},
        {"minutes wrap as a byte", {255, 59, 74}, 1, {0, 0, 0}},
        {"past 99 minutes", {99, 59, 74}, 1, {100, 0, 0}},
        {"seconds carry twice", {0, 59, 70}, 75 + 5, {1, 1, 0}},
        {"a whole disc", {0, 2, 0}, 359999, {80, 1, 74}},
        {"the largest count", {0, 0, 0}, 0xFFFFFFFF, {static_cast<uint8_t>(954437 % 256), 10, 45}},
    };
    for (const add_row &row : rows) {
        msf time = row.start;
        msf_add(row.frames, &time);
        EXPECT_EQ(time.m, row.expected.m) << row.name;
        EXPECT_EQ(time.s, row.expected.s) << row.name;
        EXPECT_EQ(time.f, row.expected.f) << row.name;
    }
}

TEST(MsfAdd, AgreesWithCountingFrameByFrame) {
    for (uint32_t start = 0; start < 2 * 4500; start += 37) {
        for (uint32_t frames : {0u, 1u, 74u, 75u, 76u, 4499u, 4500u, 4501u, 123456u}) {
            msf time = {static_cast<uint8_t>(start / 4500), static_cast<uint8_t>(start / 75 % 60),
                        static_cast<uint8_t>(start % 75)};
            msf_add(frames, &time);
            const uint32_t total = start + frames;
            ASSERT_EQ(time.m, total / 4500 % 256);
            ASSERT_EQ(time.s, total / 75 % 60);
            ASSERT_EQ(time.f, total % 75);
        }
    }
}

TEST(TimingAdd, MovesBothTimesAndKeepsTrackAndIndex) {
    timing position = {2, 1, {0, 10, 70}, {3, 0, 70}};
    timing_add(&position, 1);
    EXPECT_EQ(position.track, 2);
    EXPECT_EQ(position.index, 1);
    EXPECT_EQ(position.rel.f, 71);
    EXPECT_EQ(position.abs.f, 71);
    EXPECT_EQ(position.abs.s, 0);
}

struct sync_row {
    const char *name;
    timing start;
    int abs_f;
    timing expected;
};

TEST(TimingSync, MovesForwardToTheFrameNumber) {
    const sync_row rows[] = {
        {"ten frames on, into the next second",
         {1, 1, {0, 5, 70}, {0, 5, 70}},
         5,
         {1, 1, {0, 6, 5}, {0, 6, 5}}},
        {"already there", {4, 2, {1, 2, 3}, {5, 6, 7}}, 7, {4, 2, {1, 2, 3}, {5, 6, 7}}},
        {"worked example, two on",
         {2, 1, {0, 10, 71}, {3, 0, 71}},
         73,
         {2, 1, {0, 10, 73}, {3, 0, 73}}},
        {"worked example, five on",
         {2, 1, {0, 10, 71}, {3, 0, 71}},
         1,
         {2, 1, {0, 11, 1}, {3, 1, 1}}},
        {"one frame behind is 74 on",
         {1, 1, {0, 0, 10}, {0, 2, 10}},
         9,
         {1, 1, {0, 1, 9}, {0, 3, 9}}},
        {"rel and abs apart", {3, 0, {0, 1, 0}, {10, 59, 74}}, 0, {3, 0, {0, 1, 1}, {11, 0, 0}}},
    };
    for (const sync_row &row : rows) {
        timing position = row.start;
        timing_sync(&position, row.abs_f);
        EXPECT_EQ(std::memcmp(&position, &row.expected, sizeof position), 0) << row.name;
    }
}

using PositionDeathTest = ::testing::Test;

TEST_F(PositionDeathTest, BrokenInvariantsStopTheProcessInEveryBuildType) {
    msf bad_seconds = {0, 130, 0};
    EXPECT_DEATH(msf_add(0, &bad_seconds), "msf->s < 60");
    msf bad_frames = {0, 0, 200};
    EXPECT_DEATH(msf_add(0, &bad_frames), "msf->f < 75");
    timing position = {1, 1, {0, 0, 0}, {0, 2, 0}};
    EXPECT_DEATH(timing_sync(&position, 80), "timing->abs.f == abs_f");
}

} // namespace
