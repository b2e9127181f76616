// What makes an ISRC or a catalog number one that can be right.
#include "report/codes.h"
#include "report/report.h"

#include <gtest/gtest.h>

namespace {

using report::code_validity;

TEST(Codes, IsrcValidity) {
    const struct {
        const char *isrc;
        code_validity validity;
    } rows[] = {
        {"GBAYE6900123", code_validity::valid},
        {"US1A27600001", code_validity::valid},       // registrant of letters and digits
        {"G1AYE6900123", code_validity::invalid},     // a digit in the country
        {"GBAYE69A0123", code_validity::invalid},     // a letter in the designation
        {"GB:YE6900123", code_validity::invalid},     // a six-bit code outside A-Z and 0-9
        {"GBAYE69001:3", code_validity::invalid},     // a digit nibble above 9
        {"gbaye6900123", code_validity::invalid},     // codes 49-63 are lower case
        {"GBAYE690012", code_validity::invalid},      // eleven characters
        {"000000000000", code_validity::placeholder}, // nothing recorded
    };
    for (const auto &row : rows) {
        EXPECT_EQ(report::isrc_validity(row.isrc), row.validity) << row.isrc;
    }
    EXPECT_EQ(report::grouped_isrc("GBAYE6900123"), "GB-AYE-69-00123");
}

TEST(Codes, CatalogNumberCheckDigit) {
    const struct {
        const char *mcn;
        bool holds;
        code_validity validity;
    } rows[] = {
        {"0724384960650", true, code_validity::valid},
        {"4006381333931", true, code_validity::valid},
        {"0724384960651", false, code_validity::valid},
        {"0000000000000", true, code_validity::placeholder}, // holds, and means nothing
        {"07243849606:0", false, code_validity::invalid},
        {"072438496065", false, code_validity::invalid},
    };
    for (const auto &row : rows) {
        EXPECT_EQ(report::mcn_check_digit_holds(row.mcn), row.holds) << row.mcn;
        EXPECT_EQ(report::mcn_validity(row.mcn), row.validity) << row.mcn;
    }
}

// Where a frame of a track from LBA 1000 (its pause from 850) to 3000 lies:
// the first and last 40 frames are near its ends.
TEST(Codes, WhereAFrameLies) {
    const struct {
        int64_t lba;
        const char *where; // pause, near_start, clear, near_end
    } rows[] = {
        {849, "pause"},  {999, "pause"},  {1000, "near_start"}, {1039, "near_start"},
        {1040, "clear"}, {2959, "clear"}, {2960, "near_end"},   {2999, "near_end"},
    };
    report::laid_track track;
    track.number = 1;
    track.begin = 850;
    track.start = 1000;
    track.end = 3000;
    for (const auto &row : rows) {
        report::code_collector codes;
        codes.enter(1, row.lba < 1000 ? 0 : 1);
        codes.add("GBAYE6900001", row.lba);
        const report::track_evidence e = codes.place({track}).front();
        const auto in = [&](const report::code_tallies &t) {
            return t.empty() ? report::code_tally{} : t.begin()->second;
        };
        const report::code_tally body = in(e.body), pause = in(e.pause);
        const std::string where = pause.frames() == 1    ? "pause"
                                  : body.near_start == 1 ? "near_start"
                                  : body.clear == 1      ? "clear"
                                  : body.near_end == 1   ? "near_end"
                                                         : "nowhere";
        EXPECT_EQ(where, row.where) << row.lba;
    }
}

} // namespace
