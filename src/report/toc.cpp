#include "report/toc.h"

namespace report {

namespace {

// Why the layout gives no table of contents; an empty kind when it does.
finding toc_of(const disc_report &r, int64_t leadout, disc_toc &toc) {
    if (!r.from_raw) {
        return {"no_raw_lines"};
    }
    if (r.tracks.empty()) {
        return {"no_layout"};
    }
    bool audio = false;
    for (const track_report &t : r.tracks) {
        if (!t.readable) {
            return {"unreadable_track", t.number};
        }
        // Without index 01 or a settled CONTROL, the track's offset or its
        // kind is a guess, and every ID would carry it.
        if (!t.index01_lba) {
            return {"no_track_start", t.number};
        }
        if (!t.control) {
            return {"unsettled_control", t.number};
        }
        const bool is_audio = (*t.control & 4) == 0;
        audio = audio || is_audio;
        toc.tracks.push_back({t.number, *t.index01_lba, is_audio});
    }
    if (!audio) {
        return {"no_audio_track"};
    }
    if (leadout <= toc.tracks.back().lba) {
        return {"leadout_before_track", toc.tracks.back().number, {{"leadout_lba", leadout}}};
    }
    toc.leadout = leadout;
    return {""};
}

} // namespace

ids_report report_ids(const disc_report &r, int64_t scan_end) {
    ids_report out;
    out.leadout_assumed = !r.leadout_lba;
    out.leadout = r.leadout_lba.value_or(scan_end);
    disc_toc toc;
    out.reason = toc_of(r, out.leadout, toc);
    if (out.reason.kind.empty()) {
        out.ids = compute_disc_ids(toc);
    }
    return out;
}

} // namespace report
