#include "report/analysis.h"

#include <algorithm>
#include <functional>
#include <set>

namespace report {

namespace {

constexpr int64_t FRAMES_PER_SECOND = MSF_FRAMES_PER_SECOND;
constexpr int64_t DISC_START_FRAMES = 2 * FRAMES_PER_SECOND; // LBA 0 is 00:02.00

// Bounds on what garbage can make the analysis keep: distinct offsets and
// start estimates beyond these are counted nowhere, and codes read without a
// position frame between them are folded into runs after this many.
constexpr size_t MAX_DISTINCT_OFFSETS = 256;
constexpr size_t MAX_DISTINCT_STARTS = 32;
constexpr size_t MAX_TAIL = 256;

// Code lines of a part that may have been read before the first position
// frame of the next: a few frames' worth, and ISRC frames are rare.
constexpr size_t LINES_IN_DOUBT = 16;

int64_t frames_of(const msf &time) {
    return (static_cast<int64_t>(time.m) * MSF_SECONDS_PER_MINUTE + time.s) * FRAMES_PER_SECOND +
           time.f;
}

template <typename Map> void count_capped(Map &counts, typename Map::key_type key, size_t cap) {
    const auto found = counts.find(key);
    if (found != counts.end()) {
        ++found->second;
    } else if (counts.size() < cap) {
        counts.emplace(key, 1);
    }
}

// The key with the highest count; ties go to the smallest key.
template <typename Map> std::optional<typename Map::key_type> most_common(const Map &counts) {
    std::optional<typename Map::key_type> best;
    typename Map::mapped_type best_count = 0;
    for (const auto &[key, count] : counts) {
        if (count > best_count) {
            best = key;
            best_count = count;
        }
    }
    return best;
}

int64_t floor_mod(int64_t value, int64_t modulus) {
    const int64_t r = value % modulus;
    return r < 0 ? r + modulus : r;
}

// All of one code in one part of one track.
struct code_group {
    uint32_t frames = 0;
    int64_t first_lba = INT64_MAX;
    int64_t last_lba = INT64_MIN;

    void add(uint32_t count, int64_t first, int64_t last) {
        frames += count;
        first_lba = std::min(first_lba, std::min(first, last));
        last_lba = std::max(last_lba, std::max(first, last));
    }
};

using code_groups = std::map<std::string, code_group>;

// A track while its codes are sorted out.
struct track_work {
    track_report out;
    int64_t begin = 0;               // its first sector, pause included
    int64_t start = 0;               // where index 01 begins, or is thought to
    int64_t end = INT64_MAX;         // the sector after its last
    code_groups body, pause;         // codes in its index 01 and later parts, and in its pause
    std::optional<std::string> code; // the code that is its own
};

std::optional<std::string>
majority(const code_groups &groups,
         const std::function<bool(const std::string &, const code_group &)> &skip) {
    std::optional<std::string> best;
    const code_group *best_group = nullptr;
    for (const auto &[code, group] : groups) {
        if (skip(code, group)) {
            continue;
        }
        if (best_group == nullptr || group.frames > best_group->frames ||
            (group.frames == best_group->frames && group.first_lba < best_group->first_lba)) {
            best = code;
            best_group = &group;
        }
    }
    return best;
}

code_seen seen(const std::string &code, const code_group &group, code_kind kind) {
    code_seen out;
    out.code = code;
    out.frames = group.frames;
    out.first_lba = group.first_lba;
    out.last_lba = group.last_lba;
    out.kind = kind;
    out.validity = isrc_validity(code);
    return out;
}

bool by_position(const code_seen &a, const code_seen &b) {
    return a.first_lba < b.first_lba;
}

// Each track's own code is the one on most frames of its index 01 and later
// parts, not counting a neighbour's code that lies only near the boundary
// (a drive that goes on sending the previous code, or sends the next one
// early). Every other code is then carried over, early or conflicting.
void decide_codes(std::vector<track_work> &tracks) {
    const size_t count = tracks.size();
    std::vector<std::optional<std::string>> plain(count);
    for (size_t i = 0; i < count; ++i) {
        plain[i] =
            majority(tracks[i].body, [](const std::string &, const code_group &) { return false; });
    }
    auto near_start = [](const track_work &t, const code_group &g) {
        return g.last_lba < t.start + NEAR_BOUNDARY_FRAMES;
    };
    auto near_end = [](const track_work &t, const code_group &g) {
        return t.end != INT64_MAX && g.first_lba >= t.end - NEAR_BOUNDARY_FRAMES;
    };
    auto neighbour = [&](const std::vector<std::optional<std::string>> &codes, size_t i,
                         int step) -> std::optional<std::string> {
        const int64_t j = static_cast<int64_t>(i) + step;
        return j < 0 || j >= static_cast<int64_t>(count) ? std::nullopt
                                                         : codes[static_cast<size_t>(j)];
    };
    for (size_t i = 0; i < count; ++i) {
        track_work &t = tracks[i];
        const auto previous = neighbour(plain, i, -1), next = neighbour(plain, i, 1);
        t.code = majority(t.body, [&](const std::string &code, const code_group &g) {
            return (code == previous && near_start(t, g)) || (code == next && near_end(t, g));
        });
    }
    std::vector<std::optional<std::string>> own(count);
    for (size_t i = 0; i < count; ++i) {
        own[i] = tracks[i].code;
    }
    for (size_t i = 0; i < count; ++i) {
        track_work &t = tracks[i];
        const auto previous = neighbour(own, i, -1), next = neighbour(own, i, 1);
        for (const auto &[code, group] : t.body) {
            if (code == t.code) {
                t.out.isrc = seen(code, group, code_kind::own);
                continue;
            }
            code_kind kind = code_kind::conflicting;
            if (code == previous && near_start(t, group)) {
                kind = code_kind::carried_over;
            } else if (code == next && near_end(t, group)) {
                kind = code_kind::early;
            }
            t.out.other_isrcs.push_back(seen(code, group, kind));
        }
        for (const auto &[code, group] : t.pause) {
            const code_kind kind = code == t.code     ? code_kind::early
                                   : code == previous ? code_kind::carried_over
                                                      : code_kind::conflicting;
            t.out.pause_isrcs.push_back(seen(code, group, kind));
        }
        std::sort(t.out.other_isrcs.begin(), t.out.other_isrcs.end(), by_position);
        std::sort(t.out.pause_isrcs.begin(), t.out.pause_isrcs.end(), by_position);
    }
}

std::string lba_range(const code_seen &code) {
    return code.first_lba == code.last_lba
               ? "LBA " + std::to_string(code.first_lba)
               : "LBA " + std::to_string(code.first_lba) + "-" + std::to_string(code.last_lba);
}

void add_finding(disc_report &r, const std::string &kind, int track, const std::string &text) {
    r.findings.push_back({kind, track, text});
}

std::string where(int track) {
    return track == 0 ? "disc" : "track " + std::to_string(track);
}

void code_findings(disc_report &r) {
    bool any_isrc = false;
    for (const track_report &t : r.tracks) {
        any_isrc = any_isrc || t.isrc.has_value();
    }
    for (const track_report &t : r.tracks) {
        const std::string at = where(t.number) + ": ";
        std::vector<std::pair<const code_seen *, bool>> all; // and whether in the pause
        if (t.isrc) {
            all.emplace_back(&*t.isrc, false);
        }
        for (const code_seen &c : t.other_isrcs) {
            all.emplace_back(&c, false);
        }
        for (const code_seen &c : t.pause_isrcs) {
            all.emplace_back(&c, true);
        }
        for (const auto &[c, in_pause] : all) {
            // A code that cannot be right is reported as that, conflict or not.
            if (c->kind == code_kind::conflicting && c->validity == code_validity::valid) {
                add_finding(r, "conflicting_isrc", t.number,
                            at + grouped_isrc(c->code) + " on " +
                                counted(c->frames, "frame", "frames") +
                                (in_pause ? " of its pause" : "") + " (" + lba_range(*c) + ") is " +
                                (t.isrc ? "not its own " + grouped_isrc(t.isrc->code)
                                        : "no neighbour's code") +
                                ": compare with the master's code list");
            }
            if (c->validity == code_validity::placeholder) {
                add_finding(r, "placeholder_isrc", t.number,
                            at + "an all-zero placeholder, not an ISRC, on " +
                                counted(c->frames, "frame", "frames") + " (" + lba_range(*c) + ")");
            } else if (c->validity == code_validity::invalid) {
                add_finding(r, "invalid_isrc", t.number,
                            at + grouped_isrc(c->code) + " on " +
                                counted(c->frames, "frame", "frames") + " (" + lba_range(*c) +
                                ") is no valid ISRC: shown as read, never corrected");
            }
        }
        const bool data = t.control && (*t.control & 4) != 0;
        if (!t.isrc && any_isrc && !data) {
            add_finding(r, "missing_isrc", t.number,
                        at + "no ISRC, while other tracks carry one: check the master's code list");
        }
    }
    if (r.mcn) {
        const code_seen &v = r.mcn->value;
        if (v.validity == code_validity::placeholder) {
            add_finding(r, "placeholder_mcn", 0,
                        "disc: the catalog number " + v.code +
                            " is an all-zero placeholder, not a GTIN-13");
        } else if (v.validity == code_validity::invalid) {
            add_finding(r, "invalid_mcn", 0,
                        "disc: the catalog number " + v.code +
                            " holds characters that are no digits: shown as read");
        } else if (!r.mcn->check_digit_valid) {
            add_finding(r, "mcn_check_digit", 0,
                        "disc: the catalog number " + v.code +
                            " fails its GTIN-13 check digit: compare with the barcode");
        }
    }
}

void drive_findings(disc_report &r) {
    const drive_report &d = r.drive;
    const uint64_t damaged = r.frames.crc_error + r.frames.data_error;
    char share[32];
    if (!d.usable_q) {
        std::snprintf(share, sizeof share, "%.1f%%", 100.0 * damaged / r.sectors);
        add_finding(r, "no_usable_q", 0,
                    std::string("disc: this drive returns no usable Q through raw P-W (") + share +
                        " of frames damaged" +
                        (r.frames.all_zero > 0
                             ? ", " + std::to_string(r.frames.all_zero) + " of them all zero"
                             : "") +
                        "): try another drive, or a drive on another interface");
        return;
    }
    if (d.q_offset && *d.q_offset != 0) {
        std::snprintf(share, sizeof share, "%.1f%%", 100.0 * d.q_offset_share);
        add_finding(r, "q_offset", 0,
                    "disc: the drive returns each sector's Q " + std::to_string(*d.q_offset) +
                        " sectors off (" + share +
                        " of position frames); the positions here are corrected for it");
    }
    for (const slip &s : d.slips) {
        add_finding(r, "q_slip", 0,
                    "disc: at sector " + std::to_string(s.sector) +
                        " the drive's Q offset goes from " + std::to_string(s.previous) + " to " +
                        std::to_string(s.offset) +
                        ": the drive lost its place; codes near it may be misplaced");
    }
    if (r.sectors > 0 && static_cast<double>(damaged) / r.sectors > DAMAGE_FINDING_SHARE) {
        std::snprintf(share, sizeof share, "%.2f%%", 100.0 * damaged / r.sectors);
        add_finding(r, "damage", 0,
                    std::string("disc: ") + share + " of frames are damaged (more than " +
                        std::to_string(static_cast<int>(DAMAGE_FINDING_SHARE * 100)) +
                        "%): clean the disc, or try another drive");
    }
}

void add_frames(reading_bin &bin, uint32_t id, uint32_t frames) {
    for (auto &[code, count] : bin.isrcs) {
        if (code == id) {
            count += frames;
            return;
        }
    }
    bin.isrcs.emplace_back(id, frames);
}

// The tracks of the layout: where each index 01 began by most of its trusted
// frames' own times, where its pause began, and its CONTROL.
std::vector<track_work> layout_tracks(const std::map<int, std::map<int, index_stats>> &layout) {
    std::vector<track_work> tracks;
    for (const auto &[number, indices] : layout) {
        if (number < 1 || number > 99) {
            continue;
        }
        track_work t;
        t.out.number = number;
        std::map<int64_t, uint32_t> starts;
        uint32_t controls[16] = {};
        for (const auto &[index, stats] : indices) {
            for (const auto &[start, n] : stats.starts) {
                starts[start] += n;
            }
            for (int c = 0; c < 16; ++c) {
                controls[c] += stats.controls[c];
            }
        }
        t.out.index01_lba = most_common(starts);
        const auto pause = indices.find(0);
        if (pause != indices.end() &&
            (!t.out.index01_lba || pause->second.min_lba < *t.out.index01_lba)) {
            t.out.index00_lba = pause->second.min_lba;
        }
        t.out.control = static_cast<int>(std::max_element(controls, controls + 16) - controls);
        t.start = t.out.index01_lba.value_or(t.out.index00_lba.value_or(0));
        t.begin = t.out.index00_lba.value_or(t.start);
        tracks.push_back(t);
    }
    return tracks;
}

// Each bin's ISRC frames by their kind in the track they lie in (in a bin
// that spans a boundary, the kindest reading of the tracks it touches), and
// its damaged frames from their runs.
disc_picture make_picture(const std::vector<reading_bin> &bins, uint64_t sectors_per_bin,
                          const std::map<std::string, uint32_t> &isrc_ids,
                          const std::vector<sector_run> &damage,
                          const std::vector<track_work> &tracks,
                          const std::function<int64_t(uint64_t)> &offset_at) {
    std::vector<std::string> codes(isrc_ids.size());
    for (const auto &[code, id] : isrc_ids) {
        codes[id] = code;
    }
    disc_picture out;
    out.sectors_per_bin = sectors_per_bin;
    out.bins.resize(bins.size());
    for (const sector_run &run : damage) {
        for (uint64_t at = run.first; at < run.first + run.count;) {
            const uint64_t bin = at / sectors_per_bin;
            const uint64_t to = std::min(run.first + run.count, (bin + 1) * sectors_per_bin);
            out.bins[static_cast<size_t>(bin)].damaged += static_cast<uint32_t>(to - at);
            at = to;
        }
    }
    enum { own, neighbour, wrong };
    auto reading = [](const track_work &t, const std::string &code) {
        int best = wrong + 1; // not in this track
        auto consider = [&](const code_seen &c) {
            if (c.code == code) {
                const int kind = c.validity != code_validity::valid ? wrong
                                 : c.kind == code_kind::own         ? own
                                 : c.kind == code_kind::conflicting ? wrong
                                                                    : neighbour;
                best = std::min(best, kind);
            }
        };
        if (t.out.isrc) {
            consider(*t.out.isrc);
        }
        std::for_each(t.out.other_isrcs.begin(), t.out.other_isrcs.end(), consider);
        std::for_each(t.out.pause_isrcs.begin(), t.out.pause_isrcs.end(), consider);
        return best;
    };
    for (size_t i = 0; i < bins.size(); ++i) {
        const uint64_t first = i * sectors_per_bin, last = first + sectors_per_bin - 1;
        const int64_t from = static_cast<int64_t>(first) + offset_at(first);
        const int64_t to = static_cast<int64_t>(last) + offset_at(last);
        picture_bin &bin = out.bins[i];
        bin.catalog = bins[i].catalog;
        for (const auto &[id, frames] : bins[i].isrcs) {
            int kind = wrong;
            for (const track_work &t : tracks) {
                if (t.begin <= to && from < t.end) {
                    kind = std::min(kind, reading(t, codes[id]));
                }
            }
            (kind == own ? bin.own : kind == neighbour ? bin.neighbour : bin.wrong) += frames;
        }
    }
    return out;
}

} // namespace

uint32_t analysis::isrc_id(const std::string &code) {
    return isrc_ids_.emplace(code, static_cast<uint32_t>(isrc_ids_.size())).first->second;
}

reading_bin &analysis::bin_of(uint64_t sector) {
    while (sector / sectors_per_bin_ >= PICTURE_BINS) {
        std::vector<reading_bin> merged((bins_.size() + 1) / 2);
        for (size_t i = 0; i < bins_.size(); ++i) {
            reading_bin &into = merged[i / 2];
            into.damaged += bins_[i].damaged;
            into.catalog += bins_[i].catalog;
            for (const auto &[id, frames] : bins_[i].isrcs) {
                add_frames(into, id, frames);
            }
        }
        bins_ = std::move(merged);
        sectors_per_bin_ *= 2;
    }
    const size_t index = static_cast<size_t>(sector / sectors_per_bin_);
    if (bins_.size() <= index) {
        bins_.resize(index + 1);
    }
    return bins_[index];
}

int64_t analysis::lba_of(const msf &time) {
    return frames_of(time) - DISC_START_FRAMES;
}

void analysis::add_sector(const uint8_t q[SUBCHANNEL_Q_SIZE]) {
    const uint64_t sector = sectors_++;
    subq frame;
    const int status = subchannel_decode_q(q, &frame);
    if (status != 0) {
        ++(status == SUBQ_CRC_ERROR ? frames_.crc_error : frames_.data_error);
        if (std::all_of(q, q + SUBCHANNEL_Q_SIZE, [](uint8_t b) { return b == 0; })) {
            ++frames_.all_zero;
        }
        if (!damage_.empty() && damage_.back().first + damage_.back().count == sector) {
            ++damage_.back().count;
        } else {
            damage_.push_back({sector, 1});
        }
        return;
    }
    switch (subq_mode(&frame)) {
    case 1:
        ++frames_.good;
        add_position(sector, frame);
        break;
    case 2: {
        ++frames_.good;
        const code_occurrence at{std::string(frame.catalog.mcn, 13), sector, frame.catalog.abs_f,
                                 0};
        ++bin_of(sector).catalog;
        catalog_stats &stats = catalogs_[at.code];
        if (stats.frames++ == 0) {
            stats.first = at;
        }
        stats.last = at;
        break;
    }
    case 3:
        ++frames_.good;
        frame_codes_.tail.push_back(
            {std::string(frame.recording.isrc, 12), sector, frame.recording.abs_f, 0});
        add_frames(bin_of(sector), isrc_id(frame_codes_.tail.back().code), 1);
        if (frame_codes_.tail.size() >= MAX_TAIL) {
            frame_codes_.settle(0);
        }
        break;
    default:
        ++frames_.unknown_mode;
        break;
    }
}

void analysis::add_position(uint64_t sector, const subq &frame) {
    const timing &p = frame.position;
    const int64_t lba = lba_of(p.abs);
    const int64_t offset = lba - static_cast<int64_t>(sector);
    ++position_frames_;
    count_capped(offset_counts_, offset, MAX_DISTINCT_OFFSETS);
    const position_sample sample{sector,          lba, p.track, p.index, frame.mode_control & 0x0F,
                                 frames_of(p.rel)};
    if (run_length_ > 0 && offset == run_offset_) {
        if (++run_length_ == 2) {
            trust(run_first_);
        }
        trust(sample);
    } else {
        run_offset_ = offset;
        run_length_ = 1;
        run_first_ = sample;
    }
    // Codes read since the last position frame lie in this part when it
    // goes on; between two parts they are placed one by one at the end.
    if (p.track == frame_codes_.track && p.index == frame_codes_.index) {
        frame_codes_.settle(0);
    } else {
        frame_codes_.new_part(p.track, p.index);
    }
}

void analysis::trust(const position_sample &sample) {
    const int64_t offset = sample.lba - static_cast<int64_t>(sample.sector);
    if (timeline_.empty() || timeline_.back().offset != offset) {
        timeline_.push_back({sample.sector, offset});
    }
    index_stats &stats = layout_[sample.track][sample.index];
    stats.min_lba = std::min(stats.min_lba, sample.lba);
    ++stats.controls[sample.control];
    // From index 01 on, the relative time counts up from the start of index
    // 01; in the pause it counts down and says nothing of where it began.
    if (sample.index >= 1) {
        count_capped(stats.starts, sample.lba - sample.rel, MAX_DISTINCT_STARTS);
    }
}

void code_stream::settle(size_t keep) {
    const size_t settled = tail.size() > keep ? tail.size() - keep : 0;
    for (size_t i = 0; i < settled; ++i) {
        const code_occurrence &at = tail[i];
        if (open && open->first.code == at.code) {
            open->last = at;
            ++open->frames;
        } else {
            if (open) {
                runs.push_back(*open);
            }
            open = code_run{at, at, 1};
        }
    }
    tail.erase(tail.begin(), tail.begin() + static_cast<long>(settled));
}

void code_stream::new_part(int new_track, int new_index) {
    single.insert(single.end(), tail.begin(), tail.end());
    tail.clear();
    if (open) {
        runs.push_back(*open);
        open.reset();
    }
    track = new_track;
    index = new_index;
}

void code_stream::end() {
    new_part(track, index);
}

void analysis::add_code_line(bool catalog, const timing &position, const std::string &code) {
    const int64_t lba = lba_of(position.abs);
    // The running relative time counts from the last position frame: from
    // index 01 on, from where the track began.
    if (position.index >= 1) {
        count_capped(line_starts_[position.track], lba - frames_of(position.rel),
                     MAX_DISTINCT_STARTS);
    } else if (line_pauses_.count(position.track) == 0 || lba < line_pauses_[position.track]) {
        line_pauses_[position.track] = lba;
    }
    if (catalog) {
        catalog_stats &stats = line_catalogs_[code];
        if (stats.frames++ == 0) {
            stats.first_lba = lba;
        }
        stats.last_lba = lba;
        return;
    }
    if (position.track != line_codes_.track || position.index != line_codes_.index) {
        line_codes_.new_part(position.track, position.index);
    }
    line_codes_.tail.push_back({code, 0, 0, lba});
    line_codes_.settle(LINES_IN_DOUBT);
    isrc_id(code);
}

disc_report analysis::finish() {
    disc_report r;
    r.from_raw = has_raw();
    std::vector<track_work> tracks;
    const code_stream &codes = r.from_raw ? frame_codes_ : line_codes_;
    frame_codes_.end();
    line_codes_.end();

    // The drive's offset at a read sector: that of the trusted run it lies
    // in, or the first one's before any.
    auto offset_at = [this](uint64_t sector) -> int64_t {
        if (timeline_.empty()) {
            return 0;
        }
        auto after = std::upper_bound(
            timeline_.begin(), timeline_.end(), sector,
            [](uint64_t s, const offset_segment &seg) { return s < seg.from_sector; });
        return after == timeline_.begin() ? timeline_.front().offset : (after - 1)->offset;
    };
    // A code frame lies where its read sector and the drive's offset put it,
    // moved to the nearest sector that carries its frame number; a code line
    // where qscan's running position put it.
    auto place = [&](const code_occurrence &at) {
        if (!r.from_raw) {
            return at.lba;
        }
        const int64_t guess = static_cast<int64_t>(at.sector) + offset_at(at.sector);
        int64_t d = floor_mod(at.abs_f - (guess + DISC_START_FRAMES), FRAMES_PER_SECOND);
        if (d > FRAMES_PER_SECOND / 2) {
            d -= FRAMES_PER_SECOND;
        }
        return guess + d;
    };

    if (r.from_raw) {
        r.sectors = sectors_;
        r.frames = frames_;
        tracks = layout_tracks(layout_);
        const auto leadout = layout_.find(TIMING_LEAD_OUT_TRACK);
        if (leadout != layout_.end()) {
            std::map<int64_t, uint32_t> starts;
            for (const auto &[index, stats] : leadout->second) {
                for (const auto &[start, n] : stats.starts) {
                    starts[start] += n;
                }
            }
            r.leadout_lba = most_common(starts);
        }
    } else {
        // Without raw lines, the tracks are the ones the code lines name,
        // and where they begin is what the running positions tell.
        std::set<int> numbers;
        for (const auto &[number, starts] : line_starts_) {
            numbers.insert(number);
        }
        for (const auto &[number, lba] : line_pauses_) {
            numbers.insert(number);
        }
        for (const int number : numbers) {
            if (number < 1 || number > 99) {
                continue;
            }
            track_work t;
            t.out.number = number;
            const auto pause = line_pauses_.find(number);
            const auto starts = line_starts_.find(number);
            const std::optional<int64_t> start =
                starts == line_starts_.end() ? std::nullopt : most_common(starts->second);
            t.start = start.value_or(pause != line_pauses_.end() ? pause->second : 0);
            t.begin = pause != line_pauses_.end() ? std::min(pause->second, t.start) : t.start;
            tracks.push_back(t);
        }
    }
    // In disc order, which is the order of the numbers on any disc that is
    // not garbage.
    std::stable_sort(tracks.begin(), tracks.end(),
                     [](const track_work &a, const track_work &b) { return a.begin < b.begin; });
    for (size_t i = 0; i + 1 < tracks.size(); ++i) {
        tracks[i].end = tracks[i + 1].begin;
    }
    if (r.from_raw && !tracks.empty()) {
        const int64_t scanned_end = static_cast<int64_t>(sectors_) + offset_at(sectors_ - 1);
        tracks.back().end = std::max(tracks.back().begin, r.leadout_lba.value_or(scanned_end));
    }

    // Every ISRC onto the track its position lies in.
    auto track_at = [&tracks](int64_t lba) -> track_work * {
        if (tracks.empty()) {
            return nullptr;
        }
        auto after = std::upper_bound(tracks.begin(), tracks.end(), lba,
                                      [](int64_t l, const track_work &t) { return l < t.begin; });
        return after == tracks.begin() ? &tracks.front() : &*(after - 1);
    };
    auto add_code = [&](const std::string &code, uint32_t frames, int64_t first, int64_t last) {
        track_work *t = track_at(first);
        if (t != nullptr) {
            (first < t->start ? t->pause : t->body)[code].add(frames, first, last);
        }
    };
    for (const code_run &run : codes.runs) {
        add_code(run.first.code, run.frames, place(run.first), place(run.last));
    }
    for (const code_occurrence &at : codes.single) {
        const int64_t lba = place(at);
        add_code(at.code, 1, lba, lba);
    }

    if (r.from_raw) {
        // Damaged frames per track, from their runs.
        for (track_work &t : tracks) {
            t.out.damaged = 0;
        }
        for (const sector_run &run : damage_) {
            const int64_t first = static_cast<int64_t>(run.first) + offset_at(run.first);
            const int64_t last = first + static_cast<int64_t>(run.count);
            for (track_work &t : tracks) {
                const int64_t from = std::max(first, t.begin), to = std::min(last, t.end);
                if (from < to) {
                    *t.out.damaged += static_cast<uint64_t>(to - from);
                }
            }
        }
        r.drive = drive_check();
    }

    decide_codes(tracks);
    if (r.from_raw) {
        bin_of(sectors_ - 1); // the bins cover the whole disc
        r.picture = make_picture(bins_, sectors_per_bin_, isrc_ids_, damage_, tracks, offset_at);
    }
    for (track_work &t : tracks) {
        r.tracks.push_back(std::move(t.out));
    }

    // The catalog number: the code on most catalog frames.
    const auto &catalogs = r.from_raw ? catalogs_ : line_catalogs_;
    std::optional<std::string> best;
    uint32_t best_frames = 0;
    for (const auto &[code, stats] : catalogs) {
        if (stats.frames > best_frames) {
            best = code;
            best_frames = stats.frames;
        }
    }
    if (best) {
        r.mcn.emplace();
        for (const auto &[code, stats] : catalogs) {
            code_seen c;
            c.code = code;
            c.frames = stats.frames;
            c.first_lba = r.from_raw ? place(stats.first) : stats.first_lba;
            c.last_lba = r.from_raw ? place(stats.last) : stats.last_lba;
            c.validity = mcn_validity(code);
            if (code == *best) {
                r.mcn->value = c;
            } else {
                c.kind = code_kind::conflicting;
                r.mcn->others.push_back(c);
            }
        }
        r.mcn->check_digit_valid = mcn_check_digit_holds(*best);
        std::sort(r.mcn->others.begin(), r.mcn->others.end(), by_position);
    }

    code_findings(r);
    if (r.from_raw) {
        drive_findings(r);
    }
    return r;
}

drive_report analysis::drive_check() const {
    drive_report d;
    d.position_frames = position_frames_;
    if (const auto usual = most_common(offset_counts_)) {
        d.q_offset = *usual;
        d.q_offset_share =
            static_cast<double>(offset_counts_.at(*usual)) / static_cast<double>(position_frames_);
    }
    for (size_t i = 1; i < timeline_.size(); ++i) {
        d.slips.push_back({timeline_[i].from_sector, timeline_[i].offset, timeline_[i - 1].offset});
    }
    const double damaged = static_cast<double>(frames_.crc_error + frames_.data_error);
    d.usable_q = position_frames_ > 0 && damaged < UNUSABLE_Q_SHARE * sectors_ &&
                 frames_.all_zero < UNUSABLE_Q_SHARE * sectors_;
    return d;
}

} // namespace report
