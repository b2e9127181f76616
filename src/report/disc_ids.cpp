#include "report/disc_ids.h"

#include <gcrypt.h>

#include <algorithm>
#include <cstdio>

namespace report {

namespace {

constexpr int64_t LEAD_IN_FRAMES = 150; // a TOC offset is the LBA plus these
constexpr int64_t FRAMES_PER_SECOND = 75;
// Between the audio session's last track and a second session's data track:
// its lead-out, lead-in and pregap.
constexpr int64_t SESSION_GAP_FRAMES = 11400;

std::string hex(const char *format, uint64_t value) {
    char text[32];
    std::snprintf(text, sizeof text, format, static_cast<unsigned long long>(value));
    return text;
}

// Base64 as libgpg-error writes it, the line end dropped.
std::string base64(const unsigned char *bytes, size_t size) {
    gpgrt_stream_t stream = gpgrt_fopenmem(0, "w+");
    gpgrt_b64state_t state = gpgrt_b64enc_start(stream, nullptr);
    gpgrt_b64enc_write(state, bytes, size);
    gpgrt_b64enc_finish(state);
    gpgrt_rewind(stream);
    char text[128];
    size_t length = 0;
    gpgrt_read(stream, text, sizeof text, &length);
    gpgrt_fclose(stream);
    std::string out(text, length);
    std::erase(out, '\n');
    return out;
}

std::string sha1_base64(const std::string &text) {
    static const bool ready = gcry_check_version(nullptr) != nullptr;
    (void)ready;
    unsigned char digest[20];
    gcry_md_hash_buffer(GCRY_MD_SHA1, digest, text.data(), text.size());
    return base64(digest, sizeof digest);
}

int64_t offset(int64_t lba) {
    return lba + LEAD_IN_FRAMES;
}

// MusicBrainz counts the audio session: a data track after the last audio
// track lies in a second session, and the audio session's lead-out is
// where that track begins less the gap between the sessions. A data track
// too close for that gap lies in the one session, and counts.
void musicbrainz(const disc_toc &toc, disc_ids &out) {
    auto last_audio = std::find_if(toc.tracks.rbegin(), toc.tracks.rend(), [](const toc_track &t) {
                          return t.audio;
                      }).base();
    if (last_audio != toc.tracks.end() && last_audio != toc.tracks.begin() &&
        last_audio->lba - SESSION_GAP_FRAMES <= (last_audio - 1)->lba) {
        last_audio = toc.tracks.end();
    }
    const std::vector<toc_track> tracks(toc.tracks.begin(), last_audio);
    const int64_t leadout =
        last_audio == toc.tracks.end() ? toc.leadout : last_audio->lba - SESSION_GAP_FRAMES;
    const int first = tracks.front().number, last = tracks.back().number;
    int64_t offsets[100] = {offset(leadout)};
    for (const toc_track &t : tracks) {
        offsets[t.number] = offset(t.lba);
    }
    // The look-up lists the slots from the first number to the last, as the
    // hash holds them: a number the disc skips is a 0.
    std::string listed = std::to_string(offset(leadout));
    for (int n = first; n <= last; ++n) {
        listed += " " + std::to_string(offsets[n]);
    }
    std::string hashed =
        hex("%02llX", static_cast<uint64_t>(first)) + hex("%02llX", static_cast<uint64_t>(last));
    for (const int64_t o : offsets) {
        hashed += hex("%08llX", static_cast<uint32_t>(o));
    }
    out.musicbrainz = sha1_base64(hashed);
    std::replace(out.musicbrainz.begin(), out.musicbrainz.end(), '+', '.');
    std::replace(out.musicbrainz.begin(), out.musicbrainz.end(), '/', '_');
    std::replace(out.musicbrainz.begin(), out.musicbrainz.end(), '=', '-');
    out.musicbrainz_toc = std::to_string(first) + " " + std::to_string(last) + " " + listed;
    std::string toc_query = out.musicbrainz_toc;
    std::replace(toc_query.begin(), toc_query.end(), ' ', '+');
    out.musicbrainz_url = "https://musicbrainz.org/cdtoc/attach?id=" + out.musicbrainz +
                          "&tracks=" + std::to_string(last) + "&toc=" + toc_query;
}

uint32_t freedb(const disc_toc &toc) {
    uint32_t n = 0;
    for (const toc_track &t : toc.tracks) {
        for (int64_t seconds = offset(t.lba) / FRAMES_PER_SECOND; seconds > 0; seconds /= 10) {
            n += static_cast<uint32_t>(seconds % 10);
        }
    }
    const int64_t t = offset(toc.leadout) / FRAMES_PER_SECOND -
                      offset(toc.tracks.front().lba) / FRAMES_PER_SECOND;
    return (n % 255) << 24 | static_cast<uint32_t>(t) << 8 |
           static_cast<uint32_t>(toc.tracks.size());
}

std::string accuraterip(const disc_toc &toc, uint32_t cddb) {
    uint32_t id1 = 0, id2 = 0, audio = 0;
    // Each audio track weighs by its place among the audio tracks, from 1,
    // whatever the disc numbers it: a data track first shifts them all.
    for (const toc_track &t : toc.tracks) {
        if (t.audio) {
            ++audio;
            id1 += static_cast<uint32_t>(t.lba);
            id2 += static_cast<uint32_t>(std::max<int64_t>(t.lba, 1)) * audio;
        }
    }
    id1 += static_cast<uint32_t>(toc.leadout);
    id2 += static_cast<uint32_t>(toc.leadout) * (audio + 1);
    const std::string first = hex("%08llx", id1);
    return std::string{first[7], '/', first[6], '/', first[5], '/'} + "dBAR-" +
           hex("%03llu", audio) + "-" + first + "-" + hex("%08llx", id2) + "-" +
           hex("%08llx", cddb) + ".bin";
}

} // namespace

disc_ids compute_disc_ids(const disc_toc &toc) {
    disc_ids out;
    musicbrainz(toc, out);
    const uint32_t cddb = freedb(toc);
    out.freedb = hex("%08llx", cddb);
    out.accuraterip = accuraterip(toc, cddb);
    return out;
}

} // namespace report
