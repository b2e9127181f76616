// The identifiers people look a disc up by, computed from its table of
// contents as the Q channel gives it, each by its published algorithm:
// the MusicBrainz disc ID, the freedb/CDDB disc ID and the AccurateRip IDs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace report {

struct toc_track {
    int number = 0;
    int64_t lba = 0; // where its index 01 begins
    bool audio = true;
};

// The tracks in disc order and the lead-out's LBA.
struct disc_toc {
    std::vector<toc_track> tracks;
    int64_t leadout = 0;
};

struct disc_ids {
    std::string musicbrainz;     // 28 characters of base64, with ._- for +/=
    std::string musicbrainz_toc; // "first last leadout offset..."
    std::string musicbrainz_url; // the page that looks the disc up
    std::string freedb;          // 8 hex digits
    std::string accuraterip;     // a/b/c/dBAR-NNN-id1-id2-cddb.bin
};

// The disc's identifiers; toc must hold at least one audio track, numbered
// 1 to 99, with the lead-out after them all.
disc_ids compute_disc_ids(const disc_toc &toc);

} // namespace report
