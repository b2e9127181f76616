// Reading a master's CUE sheet: the three kinds of sheet, and sheets that
// cannot be read, named by file and line.
#include "report/master_sheet.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using report::sheet_layout;

report::master_sheet read(const std::string &text, std::string *error = nullptr) {
    std::istringstream in(text);
    report::master_sheet sheet;
    const std::string e = report::read_master_sheet(in, "master.cue", &sheet);
    if (error != nullptr) {
        *error = e;
    } else {
        EXPECT_EQ(e, "");
    }
    return sheet;
}

TEST(MasterSheet, OneFileForTheImage) {
    const auto sheet = read("\xEF\xBB\xBFREM made by hand\r\n"
                            "CATALOG 0724384960650\r\n"
                            "FILE \"my disc.bin\" BINARY\r\n"
                            "  TRACK 01 AUDIO\r\n"
                            "    ISRC GB-AYE-69-00123\r\n"
                            "    FLAGS DCP PRE\r\n"
                            "    INDEX 01 00:00:00\r\n"
                            "  TRACK 02 MODE1/2352\r\n"
                            "    PREGAP 00:02:00\r\n"
                            "    INDEX 00 00:40:00\r\n"
                            "    INDEX 01 00:42:00\r\n"
                            "    INDEX 02 01:00:74\r\n");
    EXPECT_EQ(sheet.layout, sheet_layout::single_file);
    EXPECT_EQ(sheet.catalog, "0724384960650");
    ASSERT_EQ(sheet.tracks.size(), 2u);
    EXPECT_EQ(sheet.tracks[0].isrc, "GBAYE6900123");
    EXPECT_EQ(sheet.tracks[0].flags, (std::set<std::string>{"DCP", "PRE"}));
    EXPECT_FALSE(sheet.tracks[1].audio);
    EXPECT_EQ(sheet.tracks[1].pregap, 150);
    EXPECT_EQ(sheet.tracks[1].indexes.at(0).frames, 40 * 75);
    EXPECT_EQ(sheet.tracks[1].indexes.at(2).frames, 60 * 75 + 74);
}

// A ripper's sheet: the next track's pause at the end of this track's file.
TEST(MasterSheet, OneFilePerTrack) {
    const auto sheet = read("FILE \"01.wav\" WAVE\n"
                            "  TRACK 01 AUDIO\n"
                            "    INDEX 01 00:00:00\n"
                            "  TRACK 02 AUDIO\n"
                            "    INDEX 00 03:20:10\n"
                            "FILE \"02.wav\" WAVE\n"
                            "    INDEX 01 00:00:00\n");
    EXPECT_EQ(sheet.layout, sheet_layout::file_per_track);
    const auto &pause = sheet.tracks[1].indexes.at(0), &start = sheet.tracks[1].indexes.at(1);
    EXPECT_EQ(pause.file, 0);
    EXPECT_EQ(pause.frames, (3 * 60 + 20) * 75 + 10);
    EXPECT_EQ(start.file, 1);
    EXPECT_EQ(start.frames, 0);
}

TEST(MasterSheet, ACodeList) {
    const auto sheet = read("CATALOG 0724384960650\nTRACK 01 AUDIO\nISRC GBAYE6900123\n"
                            "TRACK 02 AUDIO\n");
    EXPECT_EQ(sheet.layout, sheet_layout::code_list);
    ASSERT_EQ(sheet.tracks.size(), 2u);
    EXPECT_FALSE(sheet.tracks[1].isrc);
    // A FILE without a single INDEX places nothing either.
    std::string error;
    EXPECT_EQ(
        read("FILE \"a.wav\" WAVE\nTRACK 01 AUDIO\nISRC GBAYE6900123\nTRACK 02 AUDIO\n", &error)
            .layout,
        sheet_layout::code_list);
    EXPECT_EQ(error, "");
}

TEST(MasterSheet, UnreadableSheetsNameTheLine) {
    const struct {
        const char *name, *text, *error;
    } rows[] = {
        {"unknown_keyword", "FILE a WAVE\nTRACK 01 AUDIO\nINDEKS 01 00:00:00\n",
         "master.cue:3: no CUE keyword: INDEKS"},
        {"seconds_past_59", "FILE a WAVE\nTRACK 01 AUDIO\nINDEX 01 00:60:00\n",
         "master.cue:3: INDEX takes a number from 00 to 99 and a time mm:ss:ff"},
        {"frame_75", "FILE a WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:75\n",
         "master.cue:3: INDEX takes a number from 00 to 99 and a time mm:ss:ff"},
        {"track_00", "TRACK 00 AUDIO\n",
         "master.cue:1: TRACK takes a number from 01 to 99 and a type"},
        {"falling_tracks", "TRACK 02 AUDIO\nTRACK 01 AUDIO\n",
         "master.cue:2: track numbers must rise"},
        {"isrc_before_track", "ISRC GBAYE6900123\n", "master.cue:1: ISRC before any TRACK"},
        {"short_isrc", "TRACK 01 AUDIO\nISRC GBAYE690012\n",
         "master.cue:2: ISRC takes 12 characters"},
        {"short_catalog", "CATALOG 072438496065\n", "master.cue:1: CATALOG takes 13 digits"},
        {"index_without_file", "TRACK 01 AUDIO\nINDEX 01 00:00:00\n",
         "master.cue:2: INDEX before any FILE"},
        {"no_index_01", "FILE a WAVE\nTRACK 01 AUDIO\nINDEX 00 00:00:00\n",
         "master.cue: track 1 has no INDEX 01"},
        {"unknown_flag", "TRACK 01 AUDIO\nFLAGS PRE XYZ\n", "master.cue:2: no flag: XYZ"},
        {"empty", "REM nothing\n", "master.cue: no TRACK"},
    };
    for (const auto &row : rows) {
        std::string error;
        read(row.text, &error);
        EXPECT_EQ(error, row.error) << row.name;
    }
}

} // namespace
