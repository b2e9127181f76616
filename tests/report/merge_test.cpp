// The merge's decisions on their own: which frame a sector keeps, where a
// scan's frames lie, whether two layouts are one disc, how the scans alone
// judged a track, and which drives drop codes.
#include "report/combine.h"
#include "support/frames.h"

#include <gtest/gtest.h>

namespace {

using namespace report;

// The position frame of LBA lba in track 1.
q_bytes at(int64_t lba) {
    const int64_t abs = lba + 150;
    return q_position(1, 1, 0, 0, 0, static_cast<int>(abs / 4500), static_cast<int>(abs / 75 % 60),
                      static_cast<int>(abs % 75));
}

q_bytes broken(q_bytes q) {
    q[4] ^= 0x10;
    return q;
}

TEST(Merge, WhichFrameASectorKeeps) {
    const q_bytes here = at(1000), elsewhere = at(1003), code = q_recording("GBAYE6900123", 25),
                  other_code = q_recording("GBAYE6900999", 25), damaged = broken(here);
    const struct {
        const char *name;
        std::vector<const q_bytes *> frames;
        uint32_t stand_ins;
        int chosen;
        std::vector<std::pair<size_t, size_t>> disagree;
    } rows[] = {
        {"no scan read it", {nullptr, nullptr}, 0, -1, {}},
        {"damaged in one, good in the other", {&damaged, &here}, 0, 1, {}},
        {"damaged in both: the first", {&damaged, &damaged}, 0, 0, {}},
        {"both read it alike", {&here, &here}, 0, 0, {}},
        {"a code against a position frame: a disagreement, the sector's own time wins",
         {&code, &here},
         0,
         1,
         {{0, 1}}},
        {"a code against the stand-in of a drive that drops codes", {&here, &code}, 1, 1, {}},
        {"the stand-in is only the dropping drive's", {&here, &code}, 2, 0, {{0, 1}}},
        {"a dropping drive's frame where no scan read a code", {&here, &elsewhere}, 1, 0, {{0, 1}}},
        {"two codes on a tie: the first scan's", {&other_code, &code}, 0, 0, {{0, 1}}},
        {"the code most scans read", {&other_code, &code, &code}, 0, 1, {{0, 1}, {0, 2}}},
        {"a frame naming the sector before one naming another",
         {&elsewhere, &here},
         0,
         1,
         {{0, 1}}},
        {"the majority before the sector's own time",
         {&elsewhere, &here, &elsewhere},
         0,
         0,
         {{0, 1}, {1, 2}}},
    };
    for (const auto &row : rows) {
        std::vector<const uint8_t *> frames;
        for (const q_bytes *q : row.frames) {
            frames.push_back(q != nullptr ? q->data() : nullptr);
        }
        const sector_choice c = choose_frame(frames.data(), frames.size(), 1000, row.stand_ins);
        EXPECT_EQ(c.chosen, row.chosen) << row.name;
        EXPECT_EQ(c.disagree, row.disagree) << row.name;
    }
}

TEST(Merge, FramesPlacedAndCombinedInStep) {
    // A frame read a sector late is put back where it names; a code frame
    // at the sector of its frame number; a frame far off stays where read.
    EXPECT_EQ(frame_lba(at(1000).data(), 1001), 1000);
    EXPECT_EQ(frame_lba(at(1000).data(), 1010), 1000);
    EXPECT_EQ(frame_lba(at(1000).data(), 1011), 1011);
    EXPECT_EQ(frame_lba(q_recording("GBAYE6900123", (1000 + 150) % 75).data(), 998), 1000);
    EXPECT_EQ(frame_lba(broken(at(1000)).data(), 1003), 1003);

    // Scan 1 reads 0-2999 with damage at 500-599; scan 2 reads 1000-3999,
    // lagging two sectors and damaged at 2000.
    auto scan = [](int64_t first, int64_t count, int64_t lag, std::pair<int64_t, int64_t> bad) {
        auto next = std::make_shared<int64_t>(first);
        return frame_source([=](placed_frame *f) {
            if (*next == first + count) {
                return false;
            }
            const int64_t lba = (*next)++ - lag;
            q_bytes q = at(lba);
            q = lba >= bad.first && lba <= bad.second ? broken(q) : q;
            std::copy(q.begin(), q.end(), f->q);
            f->lba = frame_lba(f->q, lba);
            return true;
        });
    };
    std::vector<frame_source> scans = {scan(0, 3000, 0, {500, 599}),
                                       scan(1000, 3000, 2, {2000, 2000})};
    std::vector<int64_t> damaged, out_of_order;
    int64_t expected = 0;
    const merge_result r = merge_scans(scans, 5000, 0, [&](int64_t lba, const uint8_t *q) {
        if (lba != expected++) {
            out_of_order.push_back(lba);
        }
        if (subchannel_check_crc(q) != 0) {
            damaged.push_back(lba);
        }
    });
    EXPECT_EQ(r.first_lba, 0);
    EXPECT_EQ(r.sectors, 3998u); // to the lagging scan's last, 3997
    EXPECT_EQ(out_of_order, std::vector<int64_t>{});
    std::vector<int64_t> expected_damage;
    for (int64_t lba = 500; lba < 600; ++lba) {
        expected_damage.push_back(lba);
    }
    EXPECT_EQ(damaged, expected_damage); // 2000 was read good by scan 1
    EXPECT_EQ(r.disagreements.size(), 0u);
}

disc_report laid_out(std::vector<std::pair<int64_t, std::optional<int64_t>>> starts,
                     std::optional<int64_t> leadout) {
    disc_report r;
    int number = 1;
    for (const auto &[lba, latest] : starts) {
        track_report t;
        t.number = number++;
        t.index01_lba = lba;
        t.indexes = {{1, lba, latest}};
        r.tracks.push_back(t);
    }
    r.leadout_lba = leadout;
    return r;
}

TEST(Merge, OneDiscOrTwo) {
    const disc_report disc = laid_out({{0, {}}, {1650, {}}, {3150, {}}}, 5000);
    const struct {
        const char *name;
        disc_report other;
        std::optional<int> track; // the first that differs; 0 the lead-out
    } rows[] = {
        {"the same layout", disc, {}},
        {"a start within the other's range",
         laid_out({{0, {}}, {1600, 1660}, {3150, {}}}, 5000),
         {}},
        {"a range that ends just before the start",
         laid_out({{0, {}}, {1600, 1649}, {3150, {}}}, 5000), 2},
        {"a start a sector later", laid_out({{0, {}}, {1651, {}}, {3150, {}}}, 5000), 2},
        {"another lead-out", laid_out({{0, {}}, {1650, {}}, {3150, {}}}, 5001), 0},
        {"no lead-out read: the tracks read agree", laid_out({{0, {}}, {1650, {}}}, {}), {}},
        {"a track more, both ends read",
         laid_out({{0, {}}, {1650, {}}, {3150, {}}, {4000, {}}}, 5000), 4},
    };
    for (const auto &row : rows) {
        const std::optional<layout_difference> d = layouts_differ(row.other, disc);
        EXPECT_EQ(d ? std::optional<int>(d->track) : std::nullopt, row.track) << row.name;
    }
}

TEST(Merge, HowTheScansAloneJudgedATrack) {
    disc_report r;
    track_report t;
    t.number = 2;
    t.status = isrc_status::own;
    t.isrc = code_seen{"GBAYE6900002"};
    r.tracks = {t};
    using track = scan_summary::track;
    const track own{2, isrc_status::own, "GBAYE6900002"},
        other{2, isrc_status::own, "GBAYE6900099"}, unknown{2, isrc_status::unknown, {}},
        elsewhere{3, isrc_status::own, "GBAYE6900002"};
    const struct {
        const char *name;
        std::vector<std::vector<track>> scans;
        size_t alone;
        std::vector<size_t> otherwise;
    } rows[] = {
        {"all agree", {{own}, {own}}, 2, {}},
        {"one unknown", {{unknown}, {own}}, 1, {1}},
        {"another code is not the same verdict", {{own}, {other}}, 1, {2}},
        {"a scan without the track", {{own}, {elsewhere}}, 1, {2}},
        {"none alone", {{unknown}, {unknown}}, 0, {1, 2}},
    };
    for (const auto &row : rows) {
        r.scans.clear();
        for (const auto &tracks : row.scans) {
            r.scans.push_back({{"f"}, true, 0, 0, {}, {}, {}, tracks});
        }
        judge_agreement(r);
        EXPECT_EQ(r.tracks[0].scans_alone, row.alone) << row.name;
        std::vector<size_t> otherwise;
        for (const scan_verdict &v : r.tracks[0].otherwise) {
            otherwise.push_back(v.scan);
        }
        EXPECT_EQ(otherwise, row.otherwise) << row.name;
    }
}

TEST(Merge, DrivesThatDropCodes) {
    auto scan = [](uint64_t sectors, uint64_t codes) {
        disc_report r;
        r.from_raw = true;
        r.sectors = sectors;
        r.frames.isrc = codes;
        return r;
    };
    const struct {
        const char *name;
        std::vector<disc_report> scans;
        std::vector<bool> drops;
    } rows[] = {
        {"alike", {scan(1000, 20), scan(1000, 20)}, {false, false}},
        {"none at all", {scan(1000, 20), scan(1000, 0)}, {false, true}},
        {"half as many a sector is not fewer than half",
         {scan(1000, 20), scan(2000, 20)},
         {false, false}},
        {"just under half", {scan(1000, 20), scan(1000, 9)}, {false, true}},
        {"no codes anywhere", {scan(1000, 0), scan(1000, 0)}, {false, false}},
    };
    for (const auto &row : rows) {
        std::vector<const disc_report *> alone;
        for (const disc_report &r : row.scans) {
            alone.push_back(&r);
        }
        EXPECT_EQ(code_droppers(alone), row.drops) << row.name;
    }
}

} // namespace
