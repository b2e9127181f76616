#include "report/writers.h"

#include <nlohmann/json.hpp>

#include <cmath>

namespace report {

namespace {

// Raised whenever a key changes meaning; the schema states this one.
constexpr int JSON_FORMAT = 1;

// Keys in the order the manual page lists them.
using json = nlohmann::ordered_json;

template <typename T> json or_null(const std::optional<T> &value) {
    return value ? json(*value) : json(nullptr);
}

json code_json(const code_seen &c, const char *name) {
    json out = {{name, c.code},
                {"frames", c.frames},
                {"first_lba", c.first_lba},
                {"last_lba", c.last_lba},
                {"valid", c.validity == code_validity::valid},
                {"placeholder", c.validity == code_validity::placeholder}};
    if (c.kind != code_kind::own) {
        out["kind"] = kind_name(c.kind);
    }
    return out;
}

json codes_json(const std::vector<code_seen> &codes, const char *name) {
    json out = json::array();
    for (const code_seen &c : codes) {
        out.push_back(code_json(c, name));
    }
    return out;
}

json tracks_json(const disc_report &r) {
    json tracks = json::array();
    for (const track_report &t : r.tracks) {
        json indexes = json::array();
        for (const index_mark &m : t.indexes) {
            json index = {{"number", m.number}, {"lba", m.lba}};
            if (m.latest) {
                index["latest_lba"] = *m.latest; // not exact: anywhere from lba to here
            }
            indexes.push_back(index);
        }
        json track = {
            {"number", t.number},
            {"readable", t.readable},
            {"control", or_null(t.control)},
            {"index00_lba", or_null(t.index00_lba)},
            {"index01_lba", or_null(t.index01_lba)},
            {"indexes", indexes},
            {"scms", t.scms},
            {"isrc_status", status_name(t.status)},
            {"isrc", t.isrc ? json(t.isrc->code) : json(nullptr)},
            {"isrc_frames", t.isrc ? t.isrc->frames : 0},
            {"isrc_valid", t.isrc ? json(t.isrc->validity == code_validity::valid) : json(nullptr)},
            {"isrc_first_lba", t.isrc ? json(t.isrc->first_lba) : json(nullptr)},
            {"isrc_last_lba", t.isrc ? json(t.isrc->last_lba) : json(nullptr)},
            {"isrc_in_pause", t.isrc_in_pause},
            {"good_frames", t.good_frames},
            {"expected_isrc_frames", t.expected_isrc_frames
                                         ? json(std::round(*t.expected_isrc_frames * 10) / 10)
                                         : json(nullptr)},
            {"other_isrcs", codes_json(t.other_isrcs, "isrc")},
            {"pause_isrcs", codes_json(t.pause_isrcs, "isrc")},
            {"damaged", or_null(t.damaged)},
            {"scans_alone", t.scans_alone},
            {"verdict", agreement_text(r, t)}};
        tracks.push_back(track);
    }
    return tracks;
}

json counts_json(const frame_counts &f) {
    return {{"good", f.good},
            {"crc_error", f.crc_error},
            {"data_error", f.data_error},
            {"unknown_mode", f.unknown_mode},
            {"all_zero", f.all_zero},
            {"lead_in", f.lead_in},
            {"catalog", f.catalog},
            {"isrc", f.isrc}};
}

json drive_json(const drive_report &d) {
    json slips = json::array();
    for (const slip &s : d.slips) {
        slips.push_back({{"sector", s.sector}, {"offset", s.offset}});
    }
    return {{"q_offset", or_null(d.q_offset)},
            {"q_offset_share", d.q_offset_share},
            {"position_frames", d.position_frames},
            {"slips", slips},
            {"slip_count", d.slip_count},
            {"not_bcd", d.not_bcd},
            {"usable_q", d.usable_q}};
}

// Each scan alone: its files, what it read, its drive, its own verdicts.
json scans_json(const std::vector<scan_summary> &scans) {
    json out = json::array();
    for (const scan_summary &s : scans) {
        json tracks = json::array();
        for (const scan_summary::track &t : s.tracks) {
            tracks.push_back({{"number", t.number},
                              {"isrc_status", status_name(t.status)},
                              {"isrc", or_null(t.isrc)}});
        }
        out.push_back({{"files", s.files},
                       {"sectors", s.from_raw ? json(s.sectors) : json(nullptr)},
                       {"drive", s.from_raw ? drive_json(s.drive) : json(nullptr)},
                       {"frames", s.from_raw ? counts_json(s.frames) : json(nullptr)},
                       {"tracks", tracks}});
    }
    return out;
}

json findings_json(const std::vector<finding> &list) {
    json findings = json::array();
    for (const finding &f : list) {
        json values = json::object();
        for (const auto &[name, value] : f.values) {
            std::visit([&, &name = name](const auto &v) { values[name] = v; }, value);
        }
        findings.push_back({{"kind", f.kind},
                            {"track", f.track ? json(f.track) : json(nullptr)},
                            {"text", finding_text(f)},
                            {"values", values}});
    }
    return findings;
}

json expect_json(const expect_result &e) {
    auto value = [](const expect_value &v) {
        return std::visit(
            [](const auto &x) -> json {
                if constexpr (std::is_same_v<std::decay_t<decltype(x)>, std::monostate>) {
                    return nullptr;
                } else {
                    return x;
                }
            },
            v);
    };
    json mismatches = json::array();
    for (const expect_mismatch &m : e.mismatches) {
        mismatches.push_back({{"track", or_null(m.track)},
                              {"field", m.field},
                              {"index", or_null(m.index)},
                              {"expected", value(m.expected)},
                              {"read", value(m.read)}});
    }
    return {{"file", e.file}, {"match", e.match()}, {"mismatches", mismatches}};
}

json lead_in_json(const lead_in_toc &toc) {
    json tracks = json::array();
    for (const lead_in_toc::entry &e : toc.tracks) {
        tracks.push_back({{"number", e.number}, {"lba", e.lba}, {"control", or_null(e.control)}});
    }
    return {{"first_track", toc.first ? json(toc.first) : json(nullptr)},
            {"last_track", toc.last ? json(toc.last) : json(nullptr)},
            {"tracks", tracks},
            {"leadout_lba", or_null(toc.leadout)}};
}

// The IDs, or null with the reason.
void add_ids(json &out, const ids_report &ids) {
    if (!ids.ids) {
        out["ids"] = nullptr;
        out["ids_reason"] = ids_reason_text(ids.reason);
        return;
    }
    const disc_ids &d = *ids.ids;
    out["ids"] = {{"musicbrainz", d.musicbrainz},         {"musicbrainz_toc", d.musicbrainz_toc},
                  {"musicbrainz_url", d.musicbrainz_url}, {"freedb", d.freedb},
                  {"accuraterip", d.accuraterip},         {"leadout_assumed", ids.leadout_assumed}};
    out["ids_reason"] = nullptr;
}

} // namespace

std::string json_report(const disc_report &r) {
    json out;
    out["program"] = "qscan-report";
    out["version"] = QSCAN_VERSION;
    out["format"] = JSON_FORMAT;
    out["source"] = r.from_raw ? "raw" : "code_lines";
    out["sectors"] = r.from_raw ? json(r.sectors) : json(nullptr);
    out["frames"] = r.from_raw ? counts_json(r.frames) : json(nullptr);
    if (r.mcn) {
        const std::optional<code_seen> &v = r.mcn->value;
        out["mcn"] = {{"value", v ? json(v->code) : json(nullptr)},
                      {"frames", v ? v->frames : 0},
                      {"first_lba", v ? json(v->first_lba) : json(nullptr)},
                      {"last_lba", v ? json(v->last_lba) : json(nullptr)},
                      {"check_digit_valid", r.mcn->check_digit_valid},
                      {"placeholder", v && v->validity == code_validity::placeholder},
                      {"rival", r.mcn->rival},
                      {"others", codes_json(r.mcn->others, "mcn")}};
    } else {
        out["mcn"] = nullptr;
    }
    out["isrc_density"] = {{"isrc_frames", r.density.isrc_frames},
                           {"good_frames", r.density.good_frames},
                           {"widest_gap", r.density.widest_gap},
                           {"per_frame", r.density.per_frame()},
                           {"clean_run_needed", r.density.clean_run_needed()}};
    out["tracks"] = tracks_json(r);
    if (r.hidden) {
        const std::optional<code_seen> &c = r.hidden->isrc;
        out["hidden_track"] = {{"lba", r.hidden->lba},
                               {"sectors", r.hidden->sectors},
                               {"isrc", c ? json(c->code) : json(nullptr)},
                               {"isrc_frames", c ? c->frames : 0}};
    } else {
        out["hidden_track"] = nullptr;
    }
    out["leadout_lba"] = or_null(r.leadout_lba);
    out["lead_in"] = r.lead_in ? lead_in_json(*r.lead_in) : json(nullptr);
    out["drive"] = r.from_raw ? drive_json(r.drive) : json(nullptr);
    out["scans"] = scans_json(r.scans);
    out["expect"] = r.expect ? expect_json(*r.expect) : json(nullptr);
    add_ids(out, r.ids);
    out["findings"] = findings_json(r.findings);
    // A file name is bytes: what is no UTF-8 is replaced, never a failure.
    return out.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

} // namespace report
