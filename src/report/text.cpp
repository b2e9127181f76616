#include "report/writers.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace report {

namespace {

constexpr size_t WIDTH = 80;
constexpr size_t NOTES_INDENT = 7; // a track's notes, on the line below its row

std::string percent(double share, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f%%", decimals, 100.0 * share);
    return text;
}

// Between words that must stay on one line ("0.24% damaged").
constexpr char KEEP = '\x01';

std::string kept(std::string words) {
    std::replace(words.begin(), words.end(), ' ', KEEP);
    return words;
}

// Words of text in lines of at most WIDTH columns, the first starting at
// column first, the rest indented by indent.
std::string wrapped(const std::string &text, size_t first, size_t indent) {
    std::istringstream words(text);
    std::string word, out;
    size_t column = first;
    bool start = true;
    while (words >> word) {
        if (!start && column + 1 + word.size() > WIDTH) {
            out += "\n" + std::string(indent, ' ');
            column = indent;
            start = true;
        }
        if (!start) {
            out += " ";
            ++column;
        }
        out += word;
        column += word.size();
        start = false;
    }
    std::replace(out.begin(), out.end(), KEEP, ' ');
    return out;
}

std::string shown_isrc(const code_seen &code) {
    return code.validity == code_validity::placeholder ? "000000000000 (0s)"
                                                       : grouped_isrc(code.code);
}

std::string whose(code_kind kind, bool pause) {
    switch (kind) {
    case code_kind::own:
        return "its own";
    case code_kind::carried_over:
        return "carried over from the track before";
    case code_kind::early:
        return pause ? "its own, early" : "the next track's, early";
    case code_kind::conflicting:
        break;
    }
    return "conflicting";
}

bool tied(const track_report &t, const code_seen &c) {
    return std::find(t.tied.begin(), t.tied.end(), c.code) != t.tied.end();
}

std::string validity_note(code_validity validity) {
    return validity == code_validity::invalid       ? ", no valid ISRC"
           : validity == code_validity::placeholder ? ", an all-zero placeholder"
                                                    : "";
}

// The lead-in's table of contents, in brief.
std::string lead_in_text(const lead_in_toc &toc) {
    std::string out = "a table of contents";
    if (toc.first && toc.last) {
        out += " of tracks " + std::to_string(toc.first) + " to " + std::to_string(toc.last);
    }
    for (const lead_in_toc::entry &e : toc.tracks) {
        out += (&e == &toc.tracks.front() ? ": " : ", ") +
               kept(std::to_string(e.number) + " at LBA " + std::to_string(e.lba));
    }
    if (toc.leadout) {
        out += ", " + kept("lead-out at LBA " + std::to_string(*toc.leadout));
    }
    return out;
}

std::string track_notes(const track_report &t) {
    std::vector<std::string> notes;
    if (t.index00_lba && t.index01_lba) {
        notes.push_back("pause " +
                        duration(static_cast<uint64_t>(*t.index01_lba - *t.index00_lba)));
    }
    for (const index_mark &m : t.indexes) {
        char note[64];
        if (m.latest) {
            std::snprintf(note, sizeof note, "index %02d within LBA %lld-%lld", m.number,
                          static_cast<long long>(m.lba), static_cast<long long>(*m.latest));
            notes.push_back(note);
        } else if (m.number >= 2) {
            std::snprintf(note, sizeof note, "index %02d at LBA %lld", m.number,
                          static_cast<long long>(m.lba));
            notes.push_back(note);
        }
    }
    if (!t.readable) {
        notes.push_back("could not be read");
    }
    if (t.control && (*t.control & 4) != 0) {
        notes.push_back("data track");
    }
    if (t.isrc_in_pause) {
        notes.push_back("code read in its pause");
    }
    if (t.isrc && t.isrc->validity != code_validity::valid) {
        notes.push_back(t.isrc->validity == code_validity::invalid ? "invalid" : "placeholder");
    }
    const size_t others = t.other_isrcs.size() + t.pause_isrcs.size();
    if (others > 0) {
        notes.push_back(counted(others, "other code", "other codes"));
    }
    std::string text;
    for (const std::string &note : notes) {
        text += (text.empty() ? "" : "; ") + note;
    }
    return text;
}

// The disc against its master, a row a track, and whether it matches.
std::string expect_section(const expect_result &e) {
    std::string out = "\nAgainst " + e.file + "\n";
    char line[160];
    std::snprintf(line, sizeof line, "%5s  %-15s  %-15s  %6s  %s\n", "Track", "Expected ISRC",
                  "Read ISRC", "Start", "Verdict");
    out += line;
    auto shown = [](const std::string &code) {
        return code.size() == 12 ? grouped_isrc(code) : code;
    };
    for (const expect_row &row : e.rows) {
        std::string start = "-";
        if (row.start_offset) {
            start = (*row.start_offset > 0 ? "+" : "") + std::to_string(*row.start_offset);
        }
        std::snprintf(line, sizeof line, "%5d  %-15s  %-15s  %6s  %s\n", row.track,
                      shown(row.expected_isrc.value_or("none")).c_str(),
                      shown(row.read_isrc).c_str(), start.c_str(),
                      row.uncompared ? "past the scan"
                      : row.matches  ? "matches"
                                     : "differs");
        out += line;
    }
    out += e.match() ? "the disc carries what " + e.file + " says\n"
                     : counted(e.mismatches.size(), "difference", "differences") + " from " +
                           e.file + ": see the findings\n";
    return out;
}

// The disc's IDs, the lookup URL on a line of its own to stay whole (it
// may pass the 80th column), or why there are none.
std::string ids_lines(const ids_report &ids) {
    if (!ids.ids) {
        return "IDs       " + wrapped("none: " + ids_reason_text(ids.reason), 10, 10) + "\n";
    }
    const disc_ids &d = *ids.ids;
    std::string out = "IDs       MusicBrainz " + d.musicbrainz + ", freedb " + d.freedb +
                      "\n          AccurateRip " + d.accuraterip + "\n          " +
                      d.musicbrainz_url + "\n";
    if (ids.leadout_assumed) {
        out += "          " +
               wrapped("no lead-out frame was read: the IDs take it to be LBA " +
                           std::to_string(ids.leadout) +
                           ", the sector after the last one read, which is right when the "
                           "drive refused to read the lead-out",
                       10, 10) +
               "\n";
    }
    return out;
}

// Where a track begins, counted from LBA 0 as CUE sheets and rippers count.
std::string from_lba_0(int64_t lba) {
    return lba < 0 ? "-" + duration(static_cast<uint64_t>(-lba))
                   : duration(static_cast<uint64_t>(lba));
}

// A track's length to the next one's start, or to the lead-out.
std::string track_length(const disc_report &r, size_t i) {
    const track_report &t = r.tracks[i];
    const std::optional<int64_t> end =
        i + 1 < r.tracks.size()
            ? r.tracks[i + 1].index01_lba
            : (r.from_raw ? std::optional<int64_t>(r.ids.leadout) : std::nullopt);
    return t.index01_lba && end && *end > *t.index01_lba
               ? duration(static_cast<uint64_t>(*end - *t.index01_lba))
               : "-";
}

// A row a track, its notes on a line of their own below it.
std::string track_table(const disc_report &r) {
    if (r.tracks.empty()) {
        return r.from_raw ? "\nNo track layout: no position frame could be read.\n"
                          : "\nNo ISRC or catalog line names a track.\n";
    }
    // With several scans, how many reached each verdict alone.
    const bool several = r.scans.size() > 1;
    char line[160];
    std::snprintf(line, sizeof line, "\n%5s  %-8s  %-8s  %6s  %-15s  %6s  %7s%s\n", "Track",
                  "Start", "Length", "LBA", "ISRC", "Frames", "Damaged", several ? "  Alone" : "");
    std::string out = line;
    for (size_t i = 0; i < r.tracks.size(); ++i) {
        const track_report &t = r.tracks[i];
        const std::string isrc = t.isrc ? shown_isrc(*t.isrc) : status_name(t.status);
        const std::string start = t.index01_lba ? from_lba_0(*t.index01_lba) : "-";
        const std::string lba = t.index01_lba ? std::to_string(*t.index01_lba) : "-";
        const std::string damaged = t.damaged ? std::to_string(*t.damaged) : "-";
        const std::string alone =
            several ? "  " + std::to_string(t.scans_alone) + "/" + std::to_string(r.scans.size())
                    : "";
        std::snprintf(line, sizeof line, "%5d  %-8s  %-8s  %6s  %-15s  %6u  %7s%s\n", t.number,
                      start.c_str(), track_length(r, i).c_str(), lba.c_str(), isrc.c_str(),
                      t.isrc ? t.isrc->frames : 0, damaged.c_str(), alone.c_str());
        out += line;
        std::string notes = track_notes(t);
        if (several && !t.otherwise.empty()) {
            notes = agreement_text(r, t) + (notes.empty() ? "" : "; " + notes);
        }
        if (!notes.empty()) {
            out +=
                std::string(NOTES_INDENT, ' ') + wrapped(notes, NOTES_INDENT, NOTES_INDENT) + "\n";
        }
    }
    const bool ranges = std::any_of(r.tracks.begin(), r.tracks.end(), [](const auto &t) {
        return std::any_of(t.indexes.begin(), t.indexes.end(),
                           [](const index_mark &m) { return m.latest.has_value(); });
    });
    if (ranges) {
        out += wrapped("An index \"within\" a range was not pinned by the frames read; a CUE "
                       "sheet takes the first LBA of the range.",
                       0, 0) +
               "\n";
    }
    return out;
}

// A code that drives and discs send as a matter of course: a neighbour's
// valid code at a boundary, or the track's own in its pause.
bool routine(const track_report &t, const code_seen &c) {
    return c.validity == code_validity::valid && !tied(t, c) &&
           (c.kind == code_kind::carried_over || c.kind == code_kind::early);
}

// Every code that is not a track's own and needs a look, with where it
// lies; the routine ones counted in a line.
std::string other_codes(const disc_report &r) {
    std::string codes;
    uint64_t routine_codes = 0, routine_frames = 0;
    for (const track_report &t : r.tracks) {
        for (const bool pause : {true, false}) {
            for (const code_seen &c : pause ? t.pause_isrcs : t.other_isrcs) {
                if (routine(t, c)) {
                    ++routine_codes;
                    routine_frames += c.frames;
                    continue;
                }
                const std::string text =
                    "track " + std::to_string(t.number) + ": " + shown_isrc(c) + " on " +
                    counted(c.frames, "frame", "frames") + (pause ? " of its pause" : "") +
                    ", LBA " + std::to_string(c.first_lba) +
                    (c.last_lba != c.first_lba ? "-" + std::to_string(c.last_lba) : "") + ": " +
                    (tied(t, c) ? "tied, so no code is its own" : whose(c.kind, pause)) +
                    validity_note(c.validity);
                codes += "  " + wrapped(text, 2, 4) + "\n";
            }
        }
    }
    if (routine_codes > 0) {
        codes += "  " +
                 wrapped(counted(routine_codes, "code", "codes") + " on " +
                             counted(routine_frames, "frame", "frames") +
                             " carried over or sent early at track boundaries and in pauses, "
                             "as drives and discs do (listed in the JSON)",
                         2, 4) +
                 "\n";
    }
    return codes.empty() ? "" : "\nOther codes\n" + codes;
}

// What was read: sectors, and the frames good and damaged.
std::string read_lines(const disc_report &r) {
    if (!r.from_raw) {
        return wrapped("From ISRC and catalog lines only: damage counts, track starts, the "
                       "drive check and any track after the last one a line names need the "
                       "raw lines of qscan -r.",
                       0, 0) +
               "\n";
    }
    const uint64_t damaged = r.frames.crc_error + r.frames.data_error;
    return "Disc      " + counted(r.sectors, "sector", "sectors") + " read, " +
           duration(r.sectors) + " of disc time\n" + "Frames    " +
           wrapped(std::to_string(r.frames.good) + " good, " +
                       kept(counted(r.frames.crc_error, "CRC error", "CRC errors")) + ", " +
                       kept(counted(r.frames.data_error, "data error", "data errors")) + ", " +
                       kept(counted(r.frames.unknown_mode, "unknown mode", "unknown modes")) +
                       ": " +
                       kept(percent(static_cast<double>(damaged) / r.sectors, 2) + " damaged"),
                   10, 10) +
           "\n";
}

std::string mcn_line(const disc_report &r) {
    if (!r.mcn) {
        // Without raw lines, no catalog line may mean qscan was not asked.
        return r.from_raw
                   ? "MCN       none\n"
                   : "MCN       " +
                         wrapped("no catalog line: scan with -c or -r to look for one", 10, 10) +
                         "\n";
    }
    const std::optional<code_seen> &v = r.mcn->value;
    std::string text =
        v ? v->code + " on " + counted(v->frames, "frame", "frames") + ", " + mcn_verdict(*r.mcn)
          : std::string(mcn_verdict(*r.mcn));
    for (const code_seen &other : r.mcn->others) {
        text += "; also " + other.code + " on " + kept(counted(other.frames, "frame", "frames"));
    }
    return "MCN       " + wrapped(text, 10, 10) + "\n";
}

std::string drive_line(const drive_report &d) {
    std::string text;
    if (!d.usable_q) {
        text = "no usable Q through raw P-W: try another drive, or one on another interface";
    } else if (d.q_offset) {
        text =
            "Q offset " + std::to_string(*d.q_offset) + " on " + percent(d.q_offset_share, 1) +
            " of " + counted(d.position_frames, "position frame", "position frames") + ", " +
            (d.slip_count == 0 ? std::string("no slips") : counted(d.slip_count, "slip", "slips"));
    }
    if (d.not_bcd > 0) {
        text += "; " + kept(counted(d.not_bcd, "position frame", "position frames")) +
                " whose CRC holds but not their BCD, " + kept("counted as damaged");
    }
    return "Drive     " + wrapped(text, 10, 10) + "\n";
}

// The disc's ends and edges: its lead-out, its lead-in and a hidden track.
std::string edge_lines(const disc_report &r) {
    std::string out;
    if (r.leadout_lba) {
        out += "Lead-out  LBA " + std::to_string(*r.leadout_lba) + " (" +
               disc_time(*r.leadout_lba) + ")\n";
    }
    if (r.lead_in) {
        out += "Lead-in   " + wrapped(lead_in_text(*r.lead_in), 10, 10) + "\n";
    }
    if (r.hidden) {
        const std::optional<code_seen> &c = r.hidden->isrc;
        out +=
            "Hidden    " +
            wrapped("a track before track " +
                        std::to_string(r.tracks.empty() ? 1 : r.tracks.front().number) + ", LBA " +
                        std::to_string(r.hidden->lba) + " on " +
                        kept(counted(r.hidden->sectors, "sector", "sectors")) + ", " +
                        (c ? shown_isrc(*c) + " on " + kept(counted(c->frames, "frame", "frames"))
                           : std::string("no ISRC")),
                    10, 10) +
            "\n";
    }
    return out;
}

// Each scan alone, a row a scan: what it read, its damage, its drive's Q
// offset and the code frames it passed on.
std::string scans_section(const disc_report &r) {
    char line[160];
    std::snprintf(line, sizeof line, "%4s  %7s  %7s  %8s  %5s  %s\n", "Scan", "Sectors", "Damaged",
                  "Q offset", "Codes", "Files");
    std::string out = std::string("\nScans\n") + line;
    for (size_t i = 0; i < r.scans.size(); ++i) {
        const scan_summary &s = r.scans[i];
        const uint64_t damaged = s.frames.crc_error + s.frames.data_error;
        const std::string sectors = s.from_raw ? std::to_string(s.sectors) : "-";
        const std::string share = s.from_raw && s.sectors > 0
                                      ? percent(static_cast<double>(damaged) / s.sectors, 2)
                                      : "-";
        const std::string offset = !s.from_raw         ? "-"
                                   : !s.drive.usable_q ? "unusable"
                                   : s.drive.q_offset  ? std::to_string(*s.drive.q_offset) +
                                                            (s.drive.slip_count > 0 ? "*" : "")
                                                      : "-";
        const std::string codes =
            s.from_raw ? std::to_string(s.frames.catalog + s.frames.isrc) : "lines";
        std::string files;
        for (const std::string &f : s.files) {
            files += (files.empty() ? "" : " ") + kept(f);
        }
        std::snprintf(line, sizeof line, "%4zu  %7s  %7s  %8s  %5s  ", i + 1, sectors.c_str(),
                      share.c_str(), offset.c_str(), codes.c_str());
        out += line + wrapped(files, 41, 41) + "\n";
    }
    if (std::any_of(r.scans.begin(), r.scans.end(),
                    [](const scan_summary &s) { return s.drive.slip_count > 0; })) {
        out += "* the drive slips: see the findings\n";
    }
    return out +
           wrapped("Codes: the catalog and ISRC frames each scan passed on. The tracks "
                   "below combine the scans sector by sector; Alone counts the scans "
                   "that reached a track's verdict on their own.",
                   0, 0) +
           "\n";
}

std::string findings_section(const std::vector<finding> &findings) {
    if (findings.empty()) {
        return "\nNo findings.\n";
    }
    std::string out = "\nFindings\n";
    for (const finding &f : findings) {
        out += "  " + wrapped(finding_text(f), 2, 4) + "\n";
    }
    return out;
}

} // namespace

std::string text_report(const disc_report &r) {
    std::string out =
        std::string("qscan-report ") + QSCAN_VERSION + "\n" + read_lines(r) + mcn_line(r);
    // Among several scans each drive is its own: the Scans section tells them.
    if (r.from_raw) {
        out += (r.scans.size() > 1 ? "" : drive_line(r.drive)) + edge_lines(r);
    }
    out += ids_lines(r.ids) + (r.scans.size() > 1 ? scans_section(r) : "") + track_table(r) +
           other_codes(r);
    if (r.expect) {
        out += expect_section(*r.expect);
    }
    return out + findings_section(r.findings);
}

} // namespace report
