// The CONTROL nibble of a track from its frames' counts, bit by bit.
#include "report/layout.h"

#include <gtest/gtest.h>

namespace {

using report::control_of;

TEST(Layout, ControlBitByBit) {
    const struct {
        const char *name;
        std::vector<std::pair<int, uint32_t>> counts; // CONTROL value, frames
        std::optional<int> control;
        bool scms;
    } rows[] = {
        {"audio, copy prohibited", {{0, 100}}, 0, false},
        {"pre-emphasis on half the frames is none", {{0, 50}, {1, 50}}, 0, false},
        {"pre-emphasis on one frame more", {{0, 49}, {1, 51}}, 1, false},
        {"a tie of the data bit: unknown", {{0, 50}, {4, 50}}, std::nullopt, false},
        {"data on most frames", {{0, 40}, {4, 60}}, 4, false},
        {"the copy bit on a quarter: SCMS, copying not permitted", {{0, 75}, {2, 25}}, 0, true},
        {"the copy bit on fewer than a quarter: damage", {{0, 76}, {2, 24}}, 0, false},
        {"the copy bit on most frames, held", {{2, 100}}, 2, false},
        {"SCMS with pre-emphasis", {{1, 60}, {3, 40}}, 1, true},
        {"too few frames to call SCMS", {{0, 4}, {2, 3}}, 0, false},
        {"nothing read", {}, std::nullopt, false},
    };
    for (const auto &row : rows) {
        std::array<uint32_t, 16> counts{};
        for (const auto &[value, frames] : row.counts) {
            counts[static_cast<size_t>(value)] = frames;
        }
        const report::control_bits bits = control_of(counts);
        EXPECT_EQ(bits.control, row.control) << row.name;
        EXPECT_EQ(bits.scms, row.scms) << row.name;
    }
}

} // namespace
