#include "report/expect.h"

#include <algorithm>
#include <cstdlib>
#include <map>

namespace report {

namespace {

std::string flag_list(const std::set<std::string> &flags) {
    std::string out;
    for (const std::string &flag : flags) {
        out += (out.empty() ? "" : " ") + flag;
    }
    return out.empty() ? "none" : out;
}

// The track's own code, or what stands in its place.
std::string read_isrc(const track_report &t) {
    return t.status == isrc_status::own && t.isrc ? t.isrc->code : status_name(t.status);
}

std::optional<int64_t> read_index(const track_report &t, int number) {
    for (const index_mark &m : t.indexes) {
        if (m.number == number) {
            return m.lba;
        }
    }
    return std::nullopt;
}

// Where the sheet puts a track's indexes on the disc's time line: a single
// file's times, shifted by the silence PREGAP and POSTGAP add that the file
// does not hold.
struct disc_point {
    int track, index, file;
    int64_t frames; // in its file, plus the gaps before it
};

std::vector<disc_point> disc_points(const master_sheet &sheet) {
    std::vector<disc_point> points;
    int64_t gaps = 0;
    for (const expected_track &t : sheet.tracks) {
        gaps += t.pregap.value_or(0);
        for (const auto &[number, at] : t.indexes) {
            points.push_back({t.number, number, at.file, at.frames + gaps});
        }
        gaps += t.postgap.value_or(0);
    }
    return points;
}

class comparison {
  public:
    comparison(const master_sheet &sheet, const disc_report &disc, int64_t tolerance)
        : sheet_(sheet), disc_(disc), tolerance_(tolerance), points_(disc_points(sheet)) {
        for (const track_report &t : disc.tracks) {
            read_[t.number] = &t;
        }
        // A file per track with no INDEX 00 and no PREGAP anywhere is a rip
        // whose gaps were left out: it says nothing of the pauses.
        gaps_left_out_ =
            sheet.layout == sheet_layout::file_per_track &&
            std::none_of(sheet.tracks.begin(), sheet.tracks.end(), [](const expected_track &t) {
                return t.pregap || t.indexes.count(0) != 0;
            });
    }

    void run(expect_result &out) {
        out_ = &out;
        tracks();
        catalog();
        for (const expected_track &e : sheet_.tracks) {
            expect_row row;
            row.track = e.number;
            row.expected_isrc = e.isrc;
            const auto found = read_.find(e.number);
            if (found == read_.end()) {
                // Code lines name only the tracks they were read in.
                row.read_isrc = disc_.from_raw ? "not read" : "unknown";
                row.uncompared = beyond_the_scan(e);
                if (row.uncompared) {
                    audio_end(e);
                }
                if (!disc_.from_raw && e.audio) {
                    mismatch(e.number, "isrc", e.isrc.value_or("none"), row.read_isrc);
                }
                row.matches = row.uncompared || (disc_.from_raw ? false : !e.audio);
                out.rows.push_back(row);
                continue;
            }
            const size_t before = out.mismatches.size();
            row.read_isrc = read_isrc(*found->second);
            isrc(e, *found->second);
            type(e, *found->second);
            // Without raw lines there are no positions or flags to compare,
            // nor on a track that could not be read (its own finding). A
            // list of codes says nothing of the flags it leaves out.
            const bool compared = disc_.from_raw && found->second->readable;
            if (compared && sheet_.layout == sheet_layout::code_list && e.flags) {
                flags(e, *found->second);
            }
            if (compared && sheet_.layout != sheet_layout::code_list) {
                flags(e, *found->second);
                // A data track's INDEX 00 alone marks where the audio ends:
                // no position of the track itself.
                if (e.indexes.count(1) != 0) {
                    row.start_offset = positions(e, *found->second);
                    pause(e, *found->second);
                }
            }
            row.matches = out.mismatches.size() == before;
            out.rows.push_back(row);
        }
    }

  private:
    void mismatch(std::optional<int> track, const char *field, expect_value expected,
                  expect_value read, std::optional<int> index = std::nullopt) {
        out_->mismatches.push_back({track, field, index, std::move(expected), std::move(read)});
    }

    // A data track listed after the last audio track may lie in a second
    // session, which a scan that ended at the audio session's lead-out
    // never reaches.
    bool beyond_the_scan(const expected_track &e) const {
        if (e.audio || !disc_.leadout_lba || disc_.tracks.empty() ||
            e.number <= disc_.tracks.back().number) {
            return false;
        }
        return std::none_of(
            sheet_.tracks.begin(), sheet_.tracks.end(),
            [&](const expected_track &t) { return t.audio && t.number > e.number; });
    }

    // A single file's data track past the scan, with only INDEX 00: where
    // the audio ends, which is the lead-out the scan read.
    void audio_end(const expected_track &e) {
        const std::optional<int64_t> origin = disc_.tracks.front().index01_lba;
        if (sheet_.layout != sheet_layout::single_file || e.indexes.size() != 1 ||
            e.indexes.count(0) == 0 || !origin) {
            return;
        }
        const placement expected = expected_position(e.number, 0);
        const int64_t read = *disc_.leadout_lba - *origin;
        if (expected.state == placement::placed && !near(expected.frames, read)) {
            mismatch(e.number, "index", expected.frames, read, 0);
        }
    }

    void tracks() {
        if (!disc_.from_raw) {
            return; // code lines do not name every track
        }
        size_t expected = 0;
        for (const expected_track &e : sheet_.tracks) {
            expected += beyond_the_scan(e) ? 0 : 1;
        }
        if (expected != disc_.tracks.size()) {
            mismatch(std::nullopt, "tracks", static_cast<int64_t>(expected),
                     static_cast<int64_t>(disc_.tracks.size()));
        }
    }

    void catalog() {
        expect_value read = std::string("none");
        if (!disc_.from_raw && !disc_.mcn) {
            read = std::string("unknown"); // qscan was not asked to look
        } else if (disc_.mcn && disc_.mcn->value && !disc_.mcn->rival) {
            read = disc_.mcn->value->code;
        } else if (disc_.mcn) {
            read = std::string("ambiguous");
        }
        const expect_value expected = sheet_.catalog.value_or("none");
        const bool zeros =
            sheet_.catalog && mcn_validity(*sheet_.catalog) == code_validity::placeholder;
        if (expected != read && !(zeros && read == expect_value(std::string("none")))) {
            mismatch(std::nullopt, "catalog", expected, read);
        }
    }

    void isrc(const expected_track &e, const track_report &t) {
        const std::string read = read_isrc(t);
        const std::string expected = e.isrc.value_or("none");
        // A data track carries no ISRC; it is compared only if one was read.
        const bool data = !e.audio && !e.isrc && t.status != isrc_status::own;
        // Rippers write all zeros where the disc gave them no code.
        const bool zeros = e.isrc && isrc_validity(*e.isrc) == code_validity::placeholder;
        if (!data && read != expected && !(zeros && read == "none")) {
            mismatch(e.number, "isrc", expected, read);
        }
    }

    void type(const expected_track &e, const track_report &t) {
        if (t.control && e.audio != ((*t.control & 4) == 0)) {
            mismatch(e.number, "type", e.audio ? "audio" : "data",
                     (*t.control & 4) == 0 ? "audio" : "data");
        }
    }

    // Where damage hides where an index begins, the LBAs it may begin in.
    bool hidden_at(int track, int index, int64_t lba) const {
        return std::any_of(disc_.findings.begin(), disc_.findings.end(), [&](const finding &f) {
            return (f.kind == "uncertain_boundary" || f.kind == "unreadable_pause") &&
                   f.track == track && f.number("index") == index && f.number("first_lba") <= lba &&
                   lba <= f.number("last_lba");
        });
    }

    void flags(const expected_track &e, const track_report &t) {
        if (!t.control) {
            return;
        }
        std::set<std::string> expected = e.flags.value_or(std::set<std::string>{});
        expected.erase("SCMS"); // not in the Q channel
        const std::vector<std::string> flags = control_flags(*t.control);
        const std::set<std::string> read(flags.begin(), flags.end());
        if (expected != read) {
            mismatch(e.number, "flags", flag_list(expected), flag_list(read));
        }
    }

    bool near(int64_t expected, int64_t read) const {
        return std::abs(read - expected) <= tolerance_;
    }

    // A position on either side: absent, there but not to be placed, or
    // frames.
    struct placement {
        enum { absent, unplaced, placed } state = absent;
        int64_t frames = 0;
    };

    static expect_value as_value(const placement &p) {
        return p.state == placement::placed ? expect_value(p.frames) : expect_value();
    }

    // Every index the sheet or the disc has, where both can be placed: in a
    // single file relative to track 1's INDEX 01, in a file per track as the
    // distance from the point before it in the same file. Returns INDEX
    // 01's difference where it could be told.
    std::optional<int64_t> positions(const expected_track &e, const track_report &t) {
        std::optional<int64_t> start;
        std::set<int> numbers;
        for (const auto &[number, at] : e.indexes) {
            numbers.insert(number);
        }
        for (const index_mark &m : t.indexes) {
            // A pause the sheet gives as PREGAP has no INDEX 00 in it, and
            // no sheet's time lies before the disc's first sector.
            const bool listed = e.indexes.count(m.number) != 0;
            if ((m.number != 0 || (!e.pregap && !gaps_left_out_)) && (m.lba >= 0 || listed)) {
                numbers.insert(m.number);
            }
        }
        for (const int number : numbers) {
            const placement expected = expected_position(e.number, number);
            const placement read = read_position(e.number, number, t);
            if (expected.state == placement::unplaced || read.state == placement::unplaced ||
                (read.state == placement::absent && before_lba_0(expected))) {
                continue;
            }
            if (expected.state != read.state) {
                mismatch(e.number, "index", as_value(expected), as_value(read), number);
            } else if (!near(expected.frames, read.frames) &&
                       !hidden_at(e.number, number,
                                  *read_index(t, number) - read.frames + expected.frames)) {
                mismatch(e.number, "index", expected.frames, read.frames, number);
            }
            if (number == 1 && expected.state == placement::placed &&
                read.state == placement::placed) {
                start = read.frames - expected.frames;
            }
        }
        return start;
    }

    std::vector<disc_point>::const_iterator point(int track, int index) const {
        return std::find_if(points_.begin(), points_.end(), [&](const disc_point &p) {
            return p.track == track && p.index == index;
        });
    }

    // A single file's point before LBA 0, which no scan reads.
    bool before_lba_0(const placement &expected) const {
        const std::optional<int64_t> origin = disc_.tracks.front().index01_lba;
        return sheet_.layout == sheet_layout::single_file && expected.state == placement::placed &&
               origin && *origin + expected.frames < 0;
    }

    placement expected_position(int track, int index) const {
        const auto at = point(track, index);
        if (at == points_.end()) {
            return {};
        }
        if (sheet_.layout == sheet_layout::single_file) {
            return {placement::placed, at->frames - point(sheet_.tracks.front().number, 1)->frames};
        }
        if (at == points_.begin() || (at - 1)->file != at->file) {
            return {placement::unplaced};
        }
        return {placement::placed, at->frames - (at - 1)->frames};
    }

    placement read_position(int track, int index, const track_report &t) const {
        const auto lba = read_index(t, index);
        if (!lba) {
            return {};
        }
        std::optional<int64_t> origin;
        if (sheet_.layout == sheet_layout::single_file) {
            origin = disc_.tracks.front().index01_lba;
        } else if (const auto at = point(track, index); at == points_.end()) {
            origin = t.index01_lba; // not in the sheet: a mismatch wherever it lies
        } else if (at != points_.begin()) {
            // The point before it in the sheet, read on the disc.
            const auto before = read_.find((at - 1)->track);
            if (before != read_.end()) {
                origin = read_index(*before->second, (at - 1)->index);
            }
        }
        return origin ? placement{placement::placed, *lba - *origin}
                      : placement{placement::unplaced};
    }

    void pause(const expected_track &e, const track_report &t) {
        if (gaps_left_out_) {
            return;
        }
        const auto zero = e.indexes.find(0), one = e.indexes.find(1);
        const int64_t gap = e.pregap.value_or(0);
        int64_t expected = gap;
        // In another file than INDEX 01, its length is that file's end, which
        // the sheet does not give.
        bool known = true;
        if (zero != e.indexes.end()) {
            known = one != e.indexes.end() && zero->second.file == one->second.file;
            expected = known ? gap + one->second.frames - zero->second.frames : 0;
        }
        const int64_t read = t.index00_lba && t.index01_lba ? *t.index01_lba - *t.index00_lba : 0;
        // The first track's pause before LBA 0 is the lead-in's: a scan from
        // LBA 0 never reads it, and a sheet need not give it.
        const bool first = &t == &disc_.tracks.front();
        const bool before_the_disc =
            first &&
            ((zero == e.indexes.end() && !e.pregap && (!t.index00_lba || *t.index00_lba < 0)) ||
             (!t.index00_lba && t.index01_lba && *t.index01_lba - expected < 0));
        const bool hidden = t.index01_lba && hidden_at(e.number, 0, *t.index01_lba - expected);
        if (known && !before_the_disc && !hidden && !near(expected, read)) {
            mismatch(e.number, "pause", expected, read);
        }
    }

    const master_sheet &sheet_;
    const disc_report &disc_;
    int64_t tolerance_;
    std::vector<disc_point> points_;
    std::map<int, const track_report *> read_;
    bool gaps_left_out_ = false;
    expect_result *out_ = nullptr;
};

} // namespace

expect_result compare_with_master(const master_sheet &sheet, const disc_report &disc,
                                  int64_t tolerance, const std::string &file) {
    expect_result out;
    out.file = file;
    comparison(sheet, disc, tolerance).run(out);
    return out;
}

} // namespace report
