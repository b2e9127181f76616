#include "report/writers.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>

namespace report {

namespace {

std::string lba_range(int64_t first, int64_t last) {
    return first == last ? "LBA " + std::to_string(first)
                         : "LBA " + std::to_string(first) + "-" + std::to_string(last);
}

std::string share(int64_t part, int64_t whole, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f%%", decimals,
                  whole > 0 ? 100.0 * static_cast<double>(part) / static_cast<double>(whole) : 0.0);
    return text;
}

std::string joined(const std::vector<std::string> &items, bool isrcs) {
    std::string out;
    for (size_t i = 0; i < items.size(); ++i) {
        out += (i == 0                  ? ""
                : i + 1 == items.size() ? " and "
                                        : ", ") +
               (isrcs ? grouped_isrc(items[i]) : items[i]);
    }
    return out;
}

std::vector<std::string> as_text(const std::vector<int64_t> &numbers) {
    std::vector<std::string> out;
    for (const int64_t n : numbers) {
        out.push_back(std::to_string(n));
    }
    return out;
}

// "GB-AYE-69-00123 on 3 frames (LBA 10-20)"
std::string code_at(const finding &f) {
    return grouped_isrc(f.text("code")) + " on " +
           counted(static_cast<uint64_t>(f.number("frames")), "frame", "frames") + " (" +
           lba_range(f.number("first_lba"), f.number("last_lba")) + ")";
}

// A difference in frames, signed: "+3 frames".
std::string frames_off(int64_t read, int64_t expected) {
    const int64_t d = read - expected;
    return (d > 0 ? "+" : "") + std::to_string(d) + (d == 1 || d == -1 ? " frame" : " frames");
}

// An expected or read value of a difference from the master: a code or
// status as it stands, an ISRC grouped, frames counted.
std::string master_value(const finding &f, const std::string &name) {
    const std::string text = f.text(name);
    if (text.empty()) {
        return std::to_string(f.number(name));
    }
    return text.size() == 12 && f.text("field") == "isrc" ? grouped_isrc(text) : text;
}

std::string expect_mismatch_text(const finding &f) {
    const std::string field = f.text("field"), file = f.text("file");
    const std::string expected = master_value(f, "expected"), read = master_value(f, "read");
    const bool both_frames = f.text("expected").empty() && f.text("read").empty();
    const std::string off =
        both_frames ? " (" + frames_off(f.number("read"), f.number("expected")) + ")" : "";
    if (field == "tracks") {
        return file + " lists " +
               counted(static_cast<uint64_t>(f.number("expected")), "track", "tracks") +
               ", the disc has " + read;
    }
    if (field == "type") {
        return file + " has a" + (expected == "audio" ? "n audio" : " data") +
               " track, the disc a" + (read == "audio" ? "n audio" : " data") + " track";
    }
    if (field == "index") {
        char name[16];
        std::snprintf(name, sizeof name, "INDEX %02lld", static_cast<long long>(f.number("index")));
        const std::string in_sheet = f.text("expected").empty() ? "at frame " + expected : "none";
        const std::string on_disc = f.text("read").empty() ? "at frame " + read : "none";
        return std::string(name) + " " + in_sheet + " in " + file + ", " + on_disc +
               " on the disc" + off;
    }
    if (field == "pause") {
        return "a pause of " + expected + " frames in " + file + ", " + read + " on the disc" + off;
    }
    const std::string what = field == "isrc"      ? "ISRC"
                             : field == "catalog" ? "catalog number"
                                                  : "FLAGS";
    return file + " has " + what + " " + (expected.empty() ? "none" : expected) + ", the disc " +
           (read.empty() ? "none" : read);
}

using wording = std::function<std::string(const finding &)>;

// "the catalog number CODE " and what is wrong with it.
wording catalog_number(const char *what) {
    return [what](const finding &f) { return "the catalog number " + f.text("code") + " " + what; };
}

const std::map<std::string, wording> &wordings() {
    static const std::map<std::string, wording> words = {
        {"conflicting_isrc",
         [](const finding &f) {
             return code_at(f) + (f.flag("in_pause") ? " of its pause" : "") + " is " +
                    (f.text("own").empty() ? "no neighbour's code"
                                           : "not its own " + grouped_isrc(f.text("own"))) +
                    ": compare with the master's code list";
         }},
        {"placeholder_isrc",
         [](const finding &f) {
             return "an all-zero placeholder, not an ISRC, on " +
                    counted(static_cast<uint64_t>(f.number("frames")), "frame", "frames") + " (" +
                    lba_range(f.number("first_lba"), f.number("last_lba")) + ")";
         }},
        {"invalid_isrc",
         [](const finding &f) {
             return code_at(f) + " is no valid ISRC: shown as read, never corrected";
         }},
        {"missing_isrc",
         [](const finding &) {
             return std::string(
                 "no ISRC, while other tracks carry one: check the master's code list");
         }},
        {"ambiguous_isrc",
         [](const finding &f) {
             return joined(f.list("codes"), true) +
                    " on equal counts: no code is its own, and the CUE sheet gives it none";
         }},
        {"duplicate_isrc",
         [](const finding &f) {
             return grouped_isrc(f.text("code")) + " is the own code of tracks " +
                    joined(f.list("tracks"), false) + ": a code belongs to one recording";
         }},
        {"conflicting_mcn",
         [](const finding &f) {
             return "catalog numbers " + joined(f.list("codes"), false) +
                    " are each on more than " + std::to_string(MCN_RIVAL_FRAMES) +
                    " frames: compare with the barcode; the CUE sheet gives none";
         }},
        {"placeholder_mcn", catalog_number("is an all-zero placeholder, not a GTIN-13")},
        {"invalid_mcn", catalog_number("holds characters that are no digits: shown as read")},
        {"mcn_check_digit",
         catalog_number("fails its GTIN-13 check digit: compare with the barcode")},
        {"unreadable_track",
         [](const finding &f) {
             return "no frame could be read; it lies within " +
                    lba_range(f.number("first_lba"), f.number("last_lba")) +
                    ": rescan it, or try another drive";
         }},
        {"unreadable_pause",
         [](const finding &f) {
             return "damage hides its pause: if it has one, it begins within " +
                    lba_range(f.number("first_lba"), f.number("last_lba"));
         }},
        {"uncertain_boundary",
         [](const finding &f) {
             char index[16];
             std::snprintf(index, sizeof index, "%02lld",
                           static_cast<long long>(f.number("index")));
             const std::string range = lba_range(f.number("first_lba"), f.number("last_lba"));
             if (f.number("damaged") > 0) {
                 return std::string("damage hides where index ") + index + " begins: within " +
                        range;
             }
             return std::string("no position frame pins where index ") + index +
                    " begins: within " + range + " (a CUE sheet takes the first)";
         }},
        {"scms",
         [](const finding &f) {
             return "the copy bit alternates on tracks " + joined(f.list("tracks"), false) +
                    " (SCMS, as a consumer recorder writes it): copying is not freely "
                    "permitted, so no FLAGS DCP";
         }},
        {"toc_mismatch",
         [](const finding &f) {
             const std::string what = f.track == 0 ? "the lead-out" : "index 01";
             const std::string read = f.text("read").empty() ? "the frames read at LBA " +
                                                                   std::to_string(f.number("read"))
                                                             : "no frame read shows it";
             return "the lead-in's table of contents puts " + what + " at LBA " +
                    std::to_string(f.number("toc")) + ", " + read;
         }},
        {"no_usable_q",
         [](const finding &f) {
             return "this drive returns no usable Q through raw P-W (" +
                    share(f.number("damaged"), f.number("sectors"), 1) + " of frames damaged" +
                    (f.number("all_zero") > 0
                         ? ", " + std::to_string(f.number("all_zero")) + " of them all zero"
                         : "") +
                    "): try another drive, or a drive on another interface";
         }},
        {"q_offset",
         [](const finding &f) {
             return "the drive returns each sector's Q " + std::to_string(f.number("offset")) +
                    " sectors off (" + share(f.number("share_permille"), 1000, 1) +
                    " of position frames); the positions here are corrected for it";
         }},
        {"no_code_frames",
         [](const finding &f) {
             return "not one catalog or ISRC frame in " +
                    counted(static_cast<uint64_t>(f.number("sectors")), "sector", "sectors") +
                    ": either the disc carries no ISRC and no catalog number, or this drive "
                    "does not pass them on; a scan with another drive tells which";
         }},
        {"layout_incomplete",
         [](const finding &f) {
             const int64_t last = f.number("last_track");
             return std::string("code lines alone show no track ") +
                    (last > 0 ? "after track " + std::to_string(last) +
                                    ", the last one a line "
                                    "names"
                              : "at all") +
                    ": a track after it without a code is not seen; scan with -r to see them all";
         }},
        {"q_slip",
         [](const finding &f) {
             return "at sector " + std::to_string(f.number("sector")) +
                    " the drive's Q offset goes from " + std::to_string(f.number("from")) + " to " +
                    std::to_string(f.number("to")) +
                    ": the drive lost its place; codes near it may be misplaced";
         }},
        {"q_jitter",
         [](const finding &f) {
             return "the drive's Q offset switches between " +
                    joined(as_text(f.numbers("offsets")), false) + ", " +
                    counted(static_cast<uint64_t>(f.number("switches")), "time", "times") +
                    " from sector " + std::to_string(f.number("first_sector")) + " to " +
                    std::to_string(f.number("last_sector")) +
                    ": codes there are placed by their own frame numbers; try another drive";
         }},
        {"damage",
         [](const finding &f) {
             return share(f.number("damaged"), f.number("sectors"), 2) +
                    " of frames are damaged (more than " +
                    std::to_string(static_cast<int>(DAMAGE_FINDING_SHARE * 100)) +
                    "%): clean the disc, or try another drive";
         }},
        {"expect_mismatch", expect_mismatch_text},
        {"scans_disagree",
         [](const finding &f) {
             const std::vector<int64_t> scans = f.numbers("scans");
             const std::vector<std::string> frames = f.list("frames");
             if (scans.size() != 2 || frames.size() != 2) {
                 return std::string("scans disagree");
             }
             const std::string a = "scan " + std::to_string(scans[0]),
                               b = "scan " + std::to_string(scans[1]);
             return a + " and " + b + " both read LBA " + std::to_string(f.number("lba")) +
                    " good, and differently (" + a + " " + frames[0] + ", " + b + " " + frames[1] +
                    "), and " +
                    counted(static_cast<uint64_t>(f.number("sectors")), "sector", "sectors") +
                    " in all: one of the drives is lying";
         }},
        {"scan_only_code",
         [](const finding &f) {
             const std::string kind = f.text("code_kind");
             const std::string habit = kind == "carried_over"
                                           ? ", carried over from the track before"
                                       : kind == "early" ? ", the next track's, sent early"
                                                         : ", a code no neighbour has";
             const std::string drive = kind == "carried_over" ? "that drive carries codes over"
                                       : kind == "early"      ? "that drive sends codes early"
                                                              : "one of the drives is wrong";
             const std::vector<std::string> never = f.list("never");
             return "scan " + std::to_string(f.number("scan")) + " alone reads " + code_at(f) +
                    habit + "; " + (never.size() == 1 ? "scan " : "scans ") + joined(never, false) +
                    " never " + (never.size() == 1 ? "does" : "do") + ": " + drive;
         }},
        {"scan_drops_codes",
         [](const finding &f) {
             return "scan " + std::to_string(f.number("scan")) + " passes on " +
                    counted(static_cast<uint64_t>(f.number("code_frames")), "catalog or ISRC frame",
                            "catalog and ISRC frames") +
                    " in " +
                    counted(static_cast<uint64_t>(f.number("sectors")), "sector", "sectors") +
                    ", scan " + std::to_string(f.number("best_scan")) + " " +
                    std::to_string(f.number("best_code_frames")) + " in " +
                    std::to_string(f.number("best_sectors")) +
                    ": that drive drops code frames, so the combined answer takes them from "
                    "the other scans";
         }},
        {"truncated_input",
         [](const finding &f) {
             // A dump's sectors are whole records: what is left is part of one.
             if (f.number("stray_bytes") > 0) {
                 return "the dump ends with " +
                        counted(static_cast<uint64_t>(f.number("stray_bytes")), "stray byte",
                                "stray bytes") +
                        ", part of a 96-byte sector, left out: the dump was cut short; this "
                        "report covers its " +
                        counted(static_cast<uint64_t>(f.number("sectors")), "whole sector",
                                "whole sectors");
             }
             return std::string("the input ends inside a line: the scan was cut short; this "
                                "report covers what came in");
         }},
    };
    return words;
}

} // namespace

std::string agreement_text(const disc_report &r, const track_report &t) {
    const size_t scans = r.scans.size();
    const std::string status = status_name(t.status);
    if (t.otherwise.empty()) {
        return status + " in " + std::to_string(scans) + " of " + counted(scans, "scan", "scans");
    }
    // The scans that said otherwise, grouped by what they said.
    std::vector<std::pair<std::string, std::vector<std::string>>> groups;
    for (const scan_verdict &v : t.otherwise) {
        const std::string said =
            !v.read  ? "not read"
            : v.isrc ? std::string(status_name(v.status)) + " " + grouped_isrc(*v.isrc)
                     : std::string(status_name(v.status));
        auto group = std::find_if(groups.begin(), groups.end(),
                                  [&](const auto &g) { return g.first == said; });
        if (group == groups.end()) {
            groups.push_back({said, {}});
            group = groups.end() - 1;
        }
        group->second.push_back(std::to_string(v.scan));
    }
    std::string others;
    for (const auto &[said, which] : groups) {
        others += (others.empty() ? "" : "; ") + said + " in " +
                  (which.size() == 1 ? "scan " : "scans ") + joined(which, false);
    }
    return t.scans_alone == 0 ? status + " (combined; " + others + ")"
                              : status + " in " + std::to_string(t.scans_alone) + " of " +
                                    counted(scans, "scan", "scans") + "; " + others;
}

std::string ids_reason_text(const finding &reason) {
    const std::string track = "track " + std::to_string(reason.track);
    if (reason.kind == "no_raw_lines") {
        return "the table of contents needs the raw lines of qscan -r";
    }
    if (reason.kind == "no_layout") {
        return "no position frame could be read, so there is no table of contents";
    }
    if (reason.kind == "unreadable_track") {
        return track + " could not be read: its start is unknown";
    }
    if (reason.kind == "no_track_start") {
        return "index 01 of " + track + " was not read: its start is unknown";
    }
    if (reason.kind == "unsettled_control") {
        return "the CONTROL of " + track + " is a tie: whether it is audio or data is unknown";
    }
    if (reason.kind == "no_audio_track") {
        return "the disc has no audio track";
    }
    if (reason.kind == "leadout_before_track") {
        return "the lead-out, LBA " + std::to_string(reason.number("leadout_lba")) +
               ", does not lie after the start of " + track;
    }
    return reason.kind;
}

std::string finding_text(const finding &f) {
    // A finding of one scan's drive, among several scans, names its scan.
    const int64_t scan = f.number("of_scan");
    const std::string at =
        scan > 0 ? "scan " + std::to_string(scan) +
                       (f.track == 0 ? ": " : ", track " + std::to_string(f.track) + ": ")
        : f.track == 0 ? "disc: "
                       : "track " + std::to_string(f.track) + ": ";
    const auto found = wordings().find(f.kind);
    return at + (found != wordings().end() ? found->second(f) : f.kind);
}

} // namespace report
