#include "report/findings.h"

#include <algorithm>
#include <map>

namespace report {

namespace {

using values = std::vector<std::pair<std::string, finding_value>>;

void add(disc_report &r, const char *kind, int track, values v = {}) {
    r.findings.push_back({kind, track, std::move(v)});
}

values where(const code_seen &c) {
    return {{"code", c.code},
            {"frames", int64_t{c.frames}},
            {"first_lba", c.first_lba},
            {"last_lba", c.last_lba}};
}

values with(values v, const std::string &name, finding_value value) {
    v.emplace_back(name, std::move(value));
    return v;
}

void track_code_findings(disc_report &r, const track_report &t, bool any_own) {
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
        const bool tied = std::find(t.tied.begin(), t.tied.end(), c->code) != t.tied.end();
        // A code that cannot be right is reported as that, conflict or not.
        if (c->kind == code_kind::conflicting && c->validity == code_validity::valid && !tied) {
            values v = with(where(*c), "in_pause", in_pause);
            add(r, "conflicting_isrc", t.number,
                with(v, "own", t.isrc ? t.isrc->code : std::string()));
        }
        if (c->validity == code_validity::placeholder) {
            add(r, "placeholder_isrc", t.number, where(*c));
        } else if (c->validity == code_validity::invalid) {
            add(r, "invalid_isrc", t.number, where(*c));
        }
    }
    if (t.status == isrc_status::ambiguous) {
        add(r, "ambiguous_isrc", t.number, {{"codes", t.tied}});
    }
    const bool data = t.control && (*t.control & 4) != 0;
    if (t.status == isrc_status::none && any_own && !data) {
        add(r, "missing_isrc", t.number);
    }
}

} // namespace

void code_findings(disc_report &r) {
    bool any_own = false;
    std::map<std::string, std::vector<std::string>> owners;
    for (const track_report &t : r.tracks) {
        const bool audio = !t.control || (*t.control & 4) == 0;
        any_own = any_own || (t.isrc && audio);
        if (t.isrc) {
            owners[t.isrc->code].push_back(std::to_string(t.number));
        }
    }
    for (const track_report &t : r.tracks) {
        track_code_findings(r, t, any_own);
    }
    for (const auto &[code, tracks] : owners) {
        if (tracks.size() > 1) {
            add(r, "duplicate_isrc", 0, {{"code", code}, {"tracks", tracks}});
        }
    }
    if (!r.mcn) {
        return;
    }
    if (r.mcn->rival || !r.mcn->value) {
        std::vector<std::string> codes;
        if (r.mcn->value) {
            codes.push_back(r.mcn->value->code);
        }
        for (const code_seen &c : r.mcn->others) {
            if (c.validity == code_validity::valid && c.frames > MCN_RIVAL_FRAMES) {
                codes.push_back(c.code);
            }
        }
        add(r, "conflicting_mcn", 0, {{"codes", codes}});
    }
    if (!r.mcn->value) {
        return;
    }
    const code_seen &v = *r.mcn->value;
    if (v.validity == code_validity::placeholder) {
        add(r, "placeholder_mcn", 0, {{"code", v.code}});
    } else if (v.validity == code_validity::invalid) {
        add(r, "invalid_mcn", 0, {{"code", v.code}});
    } else if (!r.mcn->check_digit_valid) {
        add(r, "mcn_check_digit", 0, {{"code", v.code}});
    }
}

void layout_findings(disc_report &r, const disc_layout &layout, const frame_tally &damage) {
    for (const auto &[kind, list] :
         {std::pair{"unreadable_track", &layout.unreadable_tracks},
          std::pair{"unreadable_pause", &layout.unreadable_pauses},
          std::pair{"uncertain_boundary", &layout.uncertain_boundaries}}) {
        for (const hidden_stretch &s : *list) {
            values v = {{"index", int64_t{s.index}}, {"first_lba", s.first}, {"last_lba", s.last}};
            if (list == &layout.uncertain_boundaries) {
                v.emplace_back("damaged", static_cast<int64_t>(damage.damaged_in(s.first, s.last)));
            }
            add(r, kind, s.track, std::move(v));
        }
    }
}

void control_findings(disc_report &r) {
    std::vector<std::string> tracks;
    for (const track_report &t : r.tracks) {
        if (t.scms) {
            tracks.push_back(std::to_string(t.number));
        }
    }
    if (!tracks.empty()) {
        add(r, "scms", 0, {{"tracks", tracks}});
    }
}

// Where the lead-in's table of contents and the frames of the program area
// disagree.
void lead_in_findings(disc_report &r) {
    if (!r.lead_in) {
        return;
    }
    for (const lead_in_toc::entry &e : r.lead_in->tracks) {
        const auto t = std::find_if(r.tracks.begin(), r.tracks.end(),
                                    [&](const track_report &t) { return t.number == e.number; });
        if (t == r.tracks.end() || !t->index01_lba) {
            add(r, "toc_mismatch", e.number, {{"toc", e.lba}, {"read", std::string("none")}});
        } else if (*t->index01_lba != e.lba) {
            add(r, "toc_mismatch", e.number, {{"toc", e.lba}, {"read", *t->index01_lba}});
        }
    }
    // The first lead-in's lead-out is the disc's only where no track of a
    // second session lies after it.
    const auto &toc = r.lead_in->tracks;
    const bool last =
        !toc.empty() && !r.tracks.empty() && toc.back().number == r.tracks.back().number;
    const bool one_session = r.lead_in->leadout &&
                             std::none_of(toc.begin(), toc.end(), [&](const lead_in_toc::entry &e) {
                                 return e.lba > *r.lead_in->leadout;
                             });
    if (last && one_session && r.leadout_lba && *r.lead_in->leadout != *r.leadout_lba) {
        add(r, "toc_mismatch", 0, {{"toc", *r.lead_in->leadout}, {"read", *r.leadout_lba}});
    }
}

void lines_findings(disc_report &r) {
    add(r, "layout_incomplete", 0,
        {{"last_track", int64_t{r.tracks.empty() ? 0 : r.tracks.back().number}}});
}

void drive_findings(disc_report &r, const std::optional<jitter> &jitter) {
    const drive_report &d = r.drive;
    const auto damaged = static_cast<int64_t>(r.frames.crc_error + r.frames.data_error);
    const auto sectors = static_cast<int64_t>(r.sectors);
    if (!d.usable_q) {
        add(r, "no_usable_q", 0,
            {{"damaged", damaged},
             {"sectors", sectors},
             {"all_zero", static_cast<int64_t>(r.frames.all_zero)}});
        return;
    }
    // Either the disc carries no codes or the drive passes none on: the Q
    // stream cannot tell which, another drive can.
    if (r.frames.catalog + r.frames.isrc == 0 && d.position_frames > 0 &&
        r.sectors - r.frames.lead_in > NO_CODE_FRAMES_SECTORS) {
        add(r, "no_code_frames", 0,
            {{"sectors", static_cast<int64_t>(r.sectors - r.frames.lead_in)},
             {"position_frames", static_cast<int64_t>(d.position_frames)}});
    }
    if (d.q_offset && *d.q_offset != 0) {
        add(r, "q_offset", 0,
            {{"offset", *d.q_offset},
             {"share_permille", static_cast<int64_t>(d.q_offset_share * 1000 + 0.5)}});
    }
    if (jitter) {
        add(r, "q_jitter", 0,
            {{"offsets", std::vector<int64_t>(jitter->offsets.begin(), jitter->offsets.end())},
             {"first_sector", static_cast<int64_t>(jitter->first_sector)},
             {"last_sector", static_cast<int64_t>(jitter->last_sector)},
             {"switches", static_cast<int64_t>(jitter->switches)}});
    } else {
        for (const slip &s : d.slips) {
            add(r, "q_slip", 0,
                {{"sector", static_cast<int64_t>(s.sector)},
                 {"from", s.previous},
                 {"to", s.offset}});
        }
    }
    if (sectors > 0 &&
        static_cast<double>(damaged) / static_cast<double>(sectors) > DAMAGE_FINDING_SHARE) {
        add(r, "damage", 0, {{"damaged", damaged}, {"sectors", sectors}});
    }
}

void expect_findings(disc_report &r) {
    if (!r.expect) {
        return;
    }
    // missing_isrc asks for the master's code list; where the master has no
    // code for the track either, that is answered.
    const expect_result &e = *r.expect;
    std::erase_if(r.findings, [&](const finding &f) {
        return f.kind == "missing_isrc" &&
               std::any_of(e.rows.begin(), e.rows.end(),
                           [&](const expect_row &row) {
                               return row.track == f.track && !row.expected_isrc;
                           }) &&
               std::none_of(e.mismatches.begin(), e.mismatches.end(),
                            [&](const expect_mismatch &m) {
                                return m.track == f.track && m.field == "isrc";
                            });
    });
    for (const expect_mismatch &m : r.expect->mismatches) {
        values v = {{"file", r.expect->file}, {"field", m.field}};
        if (m.index) {
            v.emplace_back("index", int64_t{*m.index});
        }
        for (const auto &[name, value] : {std::pair{"expected", &m.expected}, {"read", &m.read}}) {
            if (const auto *text = std::get_if<std::string>(value)) {
                v.emplace_back(name, *text);
            } else if (const auto *frames = std::get_if<int64_t>(value)) {
                v.emplace_back(name, *frames);
            } else {
                v.emplace_back(name, std::string("none"));
            }
        }
        add(r, "expect_mismatch", m.track.value_or(0), std::move(v));
    }
}

} // namespace report
