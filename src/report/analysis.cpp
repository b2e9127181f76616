#include "report/analysis.h"

#include "report/assemble.h"
#include "report/density.h"
#include "report/findings.h"
#include "report/toc.h"

#include <algorithm>

namespace report {

namespace {

constexpr int64_t FRAMES_PER_SECOND = MSF_FRAMES_PER_SECOND;
constexpr int64_t DISC_START_FRAMES = 2 * FRAMES_PER_SECOND; // LBA 0 is 00:02.00

int64_t frames_of(const msf &time) {
    return (static_cast<int64_t>(time.m) * MSF_SECONDS_PER_MINUTE + time.s) * FRAMES_PER_SECOND +
           time.f;
}

int64_t floor_mod(int64_t value, int64_t modulus) {
    const int64_t r = value % modulus;
    return r < 0 ? r + modulus : r;
}

} // namespace

int64_t analysis::lba_of(const msf &time) {
    return frames_of(time) - DISC_START_FRAMES;
}

// A code frame lies where its read sector and the drive's offset put it,
// moved to the nearest sector that carries its frame number.
int64_t analysis::place(uint64_t sector, int abs_f) const {
    const int64_t guess = lba_read(sector) + drive_.offset();
    int64_t d = floor_mod(abs_f - (guess + DISC_START_FRAMES), FRAMES_PER_SECOND);
    if (d > FRAMES_PER_SECOND / 2) {
        d -= FRAMES_PER_SECOND;
    }
    return guess + d;
}

void analysis::add_sector(const uint8_t q[SUBCHANNEL_Q_SIZE]) {
    const uint64_t sector = sectors_++;
    frame_counts &counts = tally_.counts;
    if (lead_in_.add(q, sector)) {
        ++counts.good;
        ++counts.lead_in;
        return;
    }
    subq frame;
    int status = subchannel_decode_q(q, &frame);
    // qscan decodes BCD without a check; a position whose nibbles are not
    // digits is damage all the same, whether or not its values are in range.
    if (status != SUBQ_CRC_ERROR && (q[0] & 0x0F) == 1 && !position_bcd_holds(q)) {
        status = SUBQ_DATA_ERROR;
        ++not_bcd_;
    }
    if (status != 0) {
        ++(status == SUBQ_CRC_ERROR ? counts.crc_error : counts.data_error);
        if (std::all_of(q, q + SUBCHANNEL_Q_SIZE, [](uint8_t b) { return b == 0; })) {
            ++counts.all_zero;
        }
        tally_.damaged(lba_read(sector) + drive_.offset());
        picture_.damaged(sector);
        stretches_.broken();
        return;
    }
    const int mode = subq_mode(&frame);
    if (mode == 1) {
        add_position(sector, frame);
    } else if (mode == 2) {
        catalogs_.add(std::string(frame.catalog.mcn, 13), place(sector, frame.catalog.abs_f));
        picture_.catalog(sector);
        ++counts.catalog;
    } else if (mode == 3) {
        const std::string code(frame.recording.isrc, 12);
        codes_.add(code, place(sector, frame.recording.abs_f));
        picture_.isrc(sector, code);
        stretches_.isrc(codes_.track(), codes_.index());
        ++counts.good;
        ++counts.isrc;
        return;
    }
    ++(mode >= 1 && mode <= 3 ? counts.good : counts.unknown_mode);
    stretches_.good(codes_.track(), codes_.index());
}

void analysis::add_position(uint64_t sector, const subq &frame) {
    const timing &p = frame.position;
    const position_sample sample{p.track, p.index, frame.mode_control & 0x0F, lba_of(p.abs),
                                 frames_of(p.rel)};
    auto trust = [this](const position_sample &s) {
        layout_.trust(s.track, s.index, s.control, s.lba, s.rel);
    };
    // A lone frame whose time disagrees with its neighbours is passed over.
    // The drive's offset is from the sector read, wherever the reading began.
    const auto agreement = drive_.position(sector, sample.lba - first_lba_);
    if (agreement == drive_timeline::agreement::with_last && untrusted_) {
        trust(*untrusted_);
    }
    untrusted_.reset();
    if (agreement == drive_timeline::agreement::none) {
        untrusted_ = sample;
    } else {
        trust(sample);
    }
    codes_.enter(p.track, p.index);
}

void analysis::add_code_line(bool catalog, const timing &position, const std::string &code) {
    lines_.add(catalog, position, code);
}

disc_report analysis::finish(std::optional<int64_t> end) {
    if (!has_raw()) {
        disc_report r = lines_report();
        r.ids = report_ids(r, 0);
        return r;
    }
    // The sector after the last one read is known whatever the drive's Q
    // offset: the drive refused it, or the dump ends there.
    return raw_report(end.value_or(lba_read(sectors_)));
}

disc_report analysis::lines_report() const {
    disc_report r;
    const std::vector<laid_track> laid = lines_.layout();
    std::vector<track_evidence> evidence = lines_.isrcs.place(laid);
    for (size_t i = 0; i < laid.size(); ++i) {
        lines_.fill(laid[i], evidence[i]);
    }
    const std::vector<track_verdict> verdicts = isrc_vote(evidence);
    r.density = density_of(evidence, verdicts);
    r.tracks = report_tracks(laid, evidence, verdicts, nullptr);
    for (track_report &t : r.tracks) {
        t.indexes.clear(); // the running positions tell no layout
    }
    r.mcn = report_mcn(lines_.catalogs);
    code_findings(r);
    lines_findings(r);
    return r;
}

disc_report analysis::raw_report(int64_t end) {
    disc_report r;
    r.from_raw = true;
    r.first_lba = first_lba_;
    r.sectors = sectors_;
    r.frames = tally_.counts;
    r.drive = drive_.report(r.frames, sectors_);
    r.drive.not_bcd = not_bcd_;
    const int64_t offset = r.drive.q_offset.value_or(0);
    for (const lead_in_reader::run &run : lead_in_.runs()) {
        layout_.read_elsewhere(lba_read(run.first) + offset, lba_read(run.last) + offset);
    }
    // The first sector read is known too: a drive whose Q leads never shows
    // the frames before it, which may still begin an index.
    const disc_layout layout =
        layout_.build(tally_, std::min(first_lba_, first_lba_ + offset), end);
    std::vector<track_evidence> evidence = codes_.place(layout.tracks);
    for (size_t i = 0; i < layout.tracks.size(); ++i) {
        stretches_.fill(layout.tracks[i].number, evidence[i]);
    }
    std::vector<track_verdict> verdicts = isrc_vote(evidence);
    if (layout.hidden_track) {
        // Voted again with the hidden track's code before track 1.
        const std::optional<std::string> hidden = hidden_code(evidence.front(), verdicts.front());
        if (hidden) {
            verdicts = isrc_vote(evidence, hidden);
        }
        r.hidden = take_hidden(layout.tracks.front(), hidden, evidence, verdicts);
    }
    r.density = density_of(evidence, verdicts);
    r.tracks = report_tracks(layout.tracks, evidence, verdicts, &tally_);
    r.leadout_lba = layout.leadout;
    r.lead_in = lead_in_.toc();
    r.ids = report_ids(r, end);
    r.mcn = report_mcn(catalogs_);
    code_findings(r);
    layout_findings(r, layout, tally_);
    control_findings(r);
    lead_in_findings(r);
    drive_findings(r, drive_.jitter_seen());
    r.picture = picture_.finish(sectors_, [&](uint64_t first, uint64_t last, const std::string &c) {
        return picture_kind(r, layout.tracks, lba_read(first) + offset, lba_read(last) + offset, c);
    });
    return r;
}

} // namespace report
