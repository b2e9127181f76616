// Disc identifiers against worked examples: the MusicBrainz documentation's
// discs, and the freedb and AccurateRip figures of one of them worked by hand.
#include "report/disc_ids.h"

#include <gtest/gtest.h>

namespace {

using report::disc_toc;
using report::toc_track;

// Audio tracks 1, 2, ... at these LBAs.
disc_toc audio_disc(const std::vector<int64_t> &lbas, int64_t leadout) {
    disc_toc toc;
    for (size_t i = 0; i < lbas.size(); ++i) {
        toc.tracks.push_back({static_cast<int>(i) + 1, lbas[i], true});
    }
    toc.leadout = leadout;
    return toc;
}

const disc_toc six_tracks = audio_disc({0, 15213, 32164, 46442, 63264, 80339}, 95312);

disc_toc twenty_two_tracks() {
    const std::vector<int64_t> offsets = {
        150,    9700,   25887,  39297,  53795,  63735,  77517,  94877,  107270, 123552, 135522,
        148422, 161197, 174790, 192022, 205545, 218010, 228700, 239590, 255470, 266932, 288750};
    std::vector<int64_t> lbas;
    for (const int64_t o : offsets) {
        lbas.push_back(o - 150);
    }
    return audio_disc(lbas, 303602 - 150);
}

// The six-track disc with a data track in a second session after it.
disc_toc enhanced() {
    disc_toc toc = six_tracks;
    toc.tracks.push_back({7, 95312 + 11400, false});
    toc.leadout = 95312 + 11400 + 30000;
    return toc;
}

disc_toc data_close_after() {
    disc_toc toc = audio_disc({0}, 3300);
    toc.tracks.push_back({2, 1650, false});
    return toc;
}

struct id_row {
    const char *name;
    disc_toc toc;
    const char *musicbrainz, *freedb, *accuraterip; // "" where no figure is published
};

TEST(DiscIds, WorkedExamples) {
    const id_row rows[] = {
        {"musicbrainz_documentation_disc", six_tracks, "49HHV7Eb8UKF3aQiNmu1GR8vKTY-", "3404f606",
         "e/b/3/dBAR-006-000513be-001b2231-3404f606.bin"},
        {"twenty_two_tracks", twenty_two_tracks(), "xUp1F2NkfP8s8jaeFn_Av3jNEI4-", "370fce16", ""},
        // The audio session's ID is the plain disc's: the data track is left
        // out and the lead-out moved back to before it.
        {"data_session_after_the_audio", enhanced(), "49HHV7Eb8UKF3aQiNmu1GR8vKTY-", "", ""},
        // By hand: track 1 at 34 s (LBA 2400, after a hidden track), track 2
        // at 64 s, the lead-out at 94 s; digit sums 7 + 10 = 0x11, 94 - 34 =
        // 0x3c seconds, 2 tracks.
        {"hidden_track_before_track_1", audio_disc({2400, 4650}, 6900), "", "11003c02", ""},
        // A data track 22 s after the audio's last start has no room for a
        // session's lead-out and lead-in: it lies in the one session.
        {"data_track_in_the_audio_session", data_close_after(), "", "", ""},
    };
    for (const id_row &row : rows) {
        SCOPED_TRACE(row.name);
        const report::disc_ids ids = report::compute_disc_ids(row.toc);
        if (*row.musicbrainz != '\0') {
            EXPECT_EQ(ids.musicbrainz, row.musicbrainz);
        }
        // No table of contents the look-up lists starts before the disc.
        EXPECT_EQ(ids.musicbrainz_toc.find('-'), std::string::npos) << ids.musicbrainz_toc;
        if (*row.freedb != '\0') {
            EXPECT_EQ(ids.freedb, row.freedb);
        }
        if (*row.accuraterip != '\0') {
            EXPECT_EQ(ids.accuraterip, row.accuraterip);
        }
    }
}

TEST(DiscIds, TheLookUpNamesTheTableOfContents) {
    const report::disc_ids ids = report::compute_disc_ids(six_tracks);
    EXPECT_EQ(ids.musicbrainz_toc, "1 6 95462 150 15363 32314 46592 63414 80489");
    EXPECT_EQ(ids.musicbrainz_url, "https://musicbrainz.org/cdtoc/attach?id="
                                   "49HHV7Eb8UKF3aQiNmu1GR8vKTY-&tracks=6&toc="
                                   "1+6+95462+150+15363+32314+46592+63414+80489");
}

} // namespace
