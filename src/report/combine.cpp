#include "report/combine.h"

#include <algorithm>
#include <cstring>

namespace report {

namespace {

// Findings of one scan's drive, kept with its scan's number.
bool of_the_drive(const std::string &kind) {
    static const char *const kinds[] = {"no_usable_q", "q_offset", "no_code_frames", "q_slip",
                                        "q_jitter",    "damage",   "truncated_input"};
    return std::any_of(std::begin(kinds), std::end(kinds),
                       [&](const char *k) { return kind == k; });
}

// The codes one scan's habits may add, named at most this many times.
constexpr size_t MAX_HABIT_FINDINGS = 64;

scan_summary summary_of(const finished_scan &scan) {
    const disc_report &r = scan.alone;
    scan_summary s{scan.files, r.from_raw, r.first_lba, r.sectors,
                   r.frames,   r.drive,    r.picture,   {}};
    for (const track_report &t : r.tracks) {
        s.tracks.push_back(
            {t.number, t.status, t.isrc ? std::optional<std::string>(t.isrc->code) : std::nullopt});
    }
    return s;
}

// A raw scan's frames from where they were kept, each at the LBA its
// drive's offsets in force give it.
class spooled_frames {
  public:
    explicit spooled_frames(finished_scan &scan)
        : spool_(&scan.sectors), first_(scan.alone.first_lba), slips_(&scan.alone.drive.slips),
          offset_(slips_->empty() ? scan.alone.drive.q_offset.value_or(0)
                                  : slips_->front().previous) {}

    bool operator()(placed_frame *f) {
        if (!spool_->read(f->q)) {
            return false;
        }
        while (next_slip_ < slips_->size() && (*slips_)[next_slip_].sector <= sector_) {
            offset_ = (*slips_)[next_slip_++].offset;
        }
        // A drive that never slipped put every frame where its offset says;
        // a lone frame naming another time stays where it was read.
        const int64_t guess = first_ + static_cast<int64_t>(sector_++) + offset_;
        f->lba = slips_->empty() ? guess : frame_lba(f->q, guess);
        return true;
    }

  private:
    record_spool *spool_;
    int64_t first_;
    const std::vector<slip> *slips_;
    int64_t offset_;
    size_t next_slip_ = 0;
    uint64_t sector_ = 0;
};

std::string hex(const uint8_t q[SUBCHANNEL_Q_SIZE]) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (int i = 0; i < SUBCHANNEL_Q_SIZE; ++i) {
        out += (i > 0 ? " " : "") + std::string{digits[q[i] >> 4], digits[q[i] & 15]};
    }
    return out;
}

// The raw scans merged sector by sector, and the merged frames analysed.
std::string combine_raw(const std::vector<finished_scan *> &raw, const std::vector<size_t> &numbers,
                        disc_report *out) {
    std::vector<const disc_report *> alone;
    for (const finished_scan *scan : raw) {
        alone.push_back(&scan->alone);
    }
    const std::vector<bool> drops = code_droppers(alone);
    uint32_t stand_ins = 0;
    for (size_t s = 0; s < drops.size(); ++s) {
        stand_ins |= drops[s] ? 1u << s : 0u;
    }
    std::vector<frame_source> sources;
    int64_t end = INT64_MIN, read_end = INT64_MIN;
    for (finished_scan *scan : raw) {
        const std::string why = scan->sectors.rewind();
        if (!why.empty()) {
            return why;
        }
        sources.emplace_back(spooled_frames(*scan));
        const disc_report &r = scan->alone;
        const int64_t after = r.first_lba + static_cast<int64_t>(r.sectors);
        read_end = std::max(read_end, after);
        end = std::max(end, after + std::max<int64_t>(0, r.drive.q_offset.value_or(0)));
    }
    // The merged frames analysed beside the merge, on a thread of their own.
    std::optional<analysis_worker> merged;
    const merge_result result =
        merge_scans(sources, end, stand_ins, [&](int64_t lba, const uint8_t *q) {
            if (!merged) {
                merged.emplace(lba);
            }
            merged->add_sector(q);
        });
    *out = merged ? merged->finish(read_end) : analysis().finish();
    for (const disagreement &d : result.disagreements) {
        out->findings.push_back(
            {"scans_disagree",
             0,
             {{"scans", std::vector<int64_t>{static_cast<int64_t>(numbers[d.first_scan]),
                                             static_cast<int64_t>(numbers[d.second_scan])}},
              {"lba", d.lba},
              {"frames", std::vector<std::string>{hex(d.first), hex(d.second)}},
              {"sectors", static_cast<int64_t>(d.sectors)}}});
    }
    return "";
}

// Scans of code lines only: every line of each, in disc order, the same
// line at the same position from two scans once.
std::string combine_lines(std::vector<finished_scan> &scans, disc_report *out) {
    std::vector<std::optional<code_line_record>> next(scans.size());
    auto pull = [&](size_t s) {
        code_line_record r;
        next[s] = scans[s].lines.read(&r) ? std::optional<code_line_record>(r) : std::nullopt;
    };
    for (size_t s = 0; s < scans.size(); ++s) {
        const std::string why = scans[s].lines.rewind();
        if (!why.empty()) {
            return why;
        }
        pull(s);
    }
    analysis merged;
    std::vector<code_line_record> here; // lines given at the position being merged
    for (;;) {
        std::optional<size_t> first;
        for (size_t s = 0; s < scans.size(); ++s) {
            if (next[s] && (!first || analysis::lba_of(next[s]->position.abs) <
                                          analysis::lba_of(next[*first]->position.abs))) {
                first = s;
            }
        }
        if (!first) {
            break;
        }
        const code_line_record line = *next[*first];
        pull(*first);
        if (!here.empty() &&
            analysis::lba_of(here.front().position.abs) != analysis::lba_of(line.position.abs)) {
            here.clear();
        }
        const bool again = std::any_of(here.begin(), here.end(), [&](const code_line_record &h) {
            return std::memcmp(&h, &line, sizeof line) == 0;
        });
        if (!again) {
            here.push_back(line);
            merged.add_code_line(line.catalog != 0, line.position,
                                 std::string(line.code, line.catalog != 0 ? 13 : 12));
        }
    }
    *out = merged.finish();
    return "";
}

std::string not_one_disc(const finished_scan &here, const finished_scan &there,
                         const layout_difference &d) {
    const std::string name = here.files.front(), other = there.files.front();
    const std::string what =
        d.track == 0 ? "the lead-out lies" : "track " + std::to_string(d.track) + " begins";
    return name + ": not a scan of the disc in " + other + ": " + what + " at LBA " +
           std::to_string(d.here) + " in it, " +
           (d.track != 0 && d.there == INT64_MIN
                ? "while " + other + " has no such track"
                : "at LBA " + std::to_string(d.there) + " in " + other);
}

} // namespace

std::optional<layout_difference> layouts_differ(const disc_report &here, const disc_report &there) {
    auto range = [](const track_report &t) {
        for (const index_mark &m : t.indexes) {
            if (m.number == 1) {
                return std::make_pair(m.lba, m.latest.value_or(m.lba));
            }
        }
        return std::make_pair(*t.index01_lba, *t.index01_lba);
    };
    const bool both_ends = here.leadout_lba && there.leadout_lba;
    for (const track_report &t : here.tracks) {
        if (!t.index01_lba) {
            continue;
        }
        const auto other =
            std::find_if(there.tracks.begin(), there.tracks.end(),
                         [&](const track_report &o) { return o.number == t.number; });
        if (other == there.tracks.end() || !other->index01_lba) {
            if (both_ends && (other == there.tracks.end() || !other->readable)) {
                return layout_difference{t.number, *t.index01_lba, INT64_MIN};
            }
            continue;
        }
        const auto a = range(t), b = range(*other);
        if (a.second < b.first || b.second < a.first) {
            return layout_difference{t.number, *t.index01_lba, *other->index01_lba};
        }
    }
    if (both_ends && *here.leadout_lba != *there.leadout_lba) {
        return layout_difference{0, *here.leadout_lba, *there.leadout_lba};
    }
    return std::nullopt;
}

void judge_agreement(disc_report &combined) {
    for (track_report &t : combined.tracks) {
        t.scans_alone = 0;
        t.otherwise.clear();
        for (size_t i = 0; i < combined.scans.size(); ++i) {
            const auto &tracks = combined.scans[i].tracks;
            const auto found = std::find_if(tracks.begin(), tracks.end(),
                                            [&](const auto &o) { return o.number == t.number; });
            const std::optional<std::string> own =
                t.isrc ? std::optional<std::string>(t.isrc->code) : std::nullopt;
            if (found != tracks.end() && found->status == t.status && found->isrc == own) {
                ++t.scans_alone;
                continue;
            }
            t.otherwise.push_back(found == tracks.end()
                                      ? scan_verdict{i + 1, false, isrc_status::unknown, {}}
                                      : scan_verdict{i + 1, true, found->status, found->isrc});
        }
    }
}

namespace {

// Every code a scan read on a track, its own among them.
bool reads(const track_report &t, const std::string &code) {
    auto same = [&](const code_seen &c) { return c.code == code; };
    return (t.isrc && t.isrc->code == code) ||
           std::any_of(t.other_isrcs.begin(), t.other_isrcs.end(), same) ||
           std::any_of(t.pause_isrcs.begin(), t.pause_isrcs.end(), same);
}

const track_report *track_of(const disc_report &r, int number) {
    const auto found = std::find_if(r.tracks.begin(), r.tracks.end(),
                                    [&](const track_report &t) { return t.number == number; });
    return found == r.tracks.end() ? nullptr : &*found;
}

} // namespace

namespace {

double code_density(const disc_report &r) {
    return r.sectors == 0 ? 0.0
                          : static_cast<double>(r.frames.catalog + r.frames.isrc) /
                                static_cast<double>(r.sectors);
}

size_t most_codes(const std::vector<const disc_report *> &alone) {
    size_t best = 0;
    for (size_t s = 1; s < alone.size(); ++s) {
        best = code_density(*alone[s]) > code_density(*alone[best]) ? s : best;
    }
    return best;
}

} // namespace

std::vector<bool> code_droppers(const std::vector<const disc_report *> &alone) {
    std::vector<bool> drops(alone.size(), false);
    if (alone.empty()) {
        return drops;
    }
    const double most = code_density(*alone[most_codes(alone)]);
    for (size_t s = 0; s < alone.size(); ++s) {
        drops[s] = alone[s]->from_raw && code_density(*alone[s]) < most / 2;
    }
    return drops;
}

void habit_findings(const std::vector<const disc_report *> &alone, disc_report &combined) {
    const std::vector<bool> drops = code_droppers(alone);
    const size_t best = alone.empty() ? 0 : most_codes(alone);
    for (size_t s = 0; s < alone.size(); ++s) {
        if (drops[s]) {
            const disc_report &r = *alone[s], &b = *alone[best];
            combined.findings.push_back(
                {"scan_drops_codes",
                 0,
                 {{"scan", static_cast<int64_t>(s + 1)},
                  {"code_frames", static_cast<int64_t>(r.frames.catalog + r.frames.isrc)},
                  {"sectors", static_cast<int64_t>(r.sectors)},
                  {"best_scan", static_cast<int64_t>(best + 1)},
                  {"best_code_frames", static_cast<int64_t>(b.frames.catalog + b.frames.isrc)},
                  {"best_sectors", static_cast<int64_t>(b.sectors)}}});
        }
    }
    size_t named = 0;
    for (size_t s = 0; s < alone.size(); ++s) {
        for (const track_report &t : alone[s]->tracks) {
            for (const code_seen &c : t.other_isrcs) {
                // Another scan read the track, with a drive that passes codes on,
                // and never this code there.
                std::vector<std::string> never;
                for (size_t o = 0; o < alone.size(); ++o) {
                    const track_report *there = track_of(*alone[o], t.number);
                    if (o != s && !drops[o] && there != nullptr && there->good_frames > 0 &&
                        !reads(*there, c.code)) {
                        never.push_back(std::to_string(o + 1));
                    }
                }
                if (never.empty() || named == MAX_HABIT_FINDINGS) {
                    continue;
                }
                ++named;
                combined.findings.push_back({"scan_only_code",
                                             t.number,
                                             {{"scan", static_cast<int64_t>(s + 1)},
                                              {"code", c.code},
                                              {"frames", static_cast<int64_t>(c.frames)},
                                              {"first_lba", c.first_lba},
                                              {"last_lba", c.last_lba},
                                              {"code_kind", std::string(kind_name(c.kind))},
                                              {"never", never}}});
            }
        }
    }
}

std::string combine_scans(std::vector<finished_scan> &scans, disc_report *out) {
    std::vector<scan_summary> summaries;
    for (const finished_scan &scan : scans) {
        summaries.push_back(summary_of(scan));
    }
    if (scans.size() == 1) {
        *out = std::move(scans.front().alone);
        out->scans = std::move(summaries);
        judge_agreement(*out);
        return "";
    }
    for (size_t k = 1; k < scans.size(); ++k) {
        for (size_t j = 0; j < k; ++j) {
            if (const auto d = layouts_differ(scans[k].alone, scans[j].alone)) {
                return not_one_disc(scans[k], scans[j], *d);
            }
        }
    }
    std::vector<finished_scan *> raw;
    std::vector<size_t> numbers;
    for (size_t s = 0; s < scans.size(); ++s) {
        if (scans[s].alone.from_raw) {
            raw.push_back(&scans[s]);
            numbers.push_back(s + 1);
        }
    }
    const std::string why =
        raw.empty() ? combine_lines(scans, out) : combine_raw(raw, numbers, out);
    if (!why.empty()) {
        return why;
    }
    // The merged frames come from no one drive: each scan's drive speaks
    // for itself, the damage no scan read past for the disc.
    std::erase_if(out->findings,
                  [](const finding &f) { return of_the_drive(f.kind) && f.kind != "damage"; });
    std::vector<const disc_report *> alone;
    for (size_t s = 0; s < scans.size(); ++s) {
        alone.push_back(&scans[s].alone);
        for (finding f : scans[s].alone.findings) {
            if (of_the_drive(f.kind)) {
                f.values.emplace_back("of_scan", static_cast<int64_t>(s + 1));
                out->findings.push_back(std::move(f));
            }
        }
    }
    habit_findings(alone, *out);
    out->scans = std::move(summaries);
    judge_agreement(*out);
    return "";
}

} // namespace report
