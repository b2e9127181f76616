#include "report/writers.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace report {

namespace {

// The picture's geometry, in pixels: 1200 wide, rows of equal width below a
// title, each named at the left.
constexpr double WIDTH = 1200, LEFT = 80, RIGHT = 20, PLOT = WIDTH - LEFT - RIGHT;
constexpr double SLIP_LABEL_Y = 84;
constexpr double TRACKS_Y = 92, TRACKS_H = 48;
constexpr double TICKS_Y = TRACKS_Y + TRACKS_H, TICK_H = 5, TICK_ROW = 12;
constexpr double ISRC_Y = TICKS_Y + 34, ISRC_H = 22;
constexpr double MCN_Y = ISRC_Y + 30, MCN_H = 14;
constexpr double DAMAGE_Y = MCN_Y + 40, DAMAGE_H = 100;
constexpr double AXIS_Y = DAMAGE_Y + DAMAGE_H;
constexpr double LEGEND_Y = AXIS_Y + 50, LEGEND_ROW = 20, LEGEND_COLUMN = 275;
constexpr double HEIGHT = LEGEND_Y + 3 * LEGEND_ROW;
// Among several scans, a thin row for each under the disc time, with where
// it was damaged; the legend moves down below them.
constexpr double SCANS_Y = AXIS_Y + 44, SCAN_ROW = 12, SCAN_H = 7;
constexpr double LABEL_GAP = 4;   // between two labels side by side
constexpr double MIN_WRONG_W = 3; // an invalid or conflicting code stays in sight
constexpr double SMALL = 10, BODY = 12;

// Okabe and Ito's palette, which readers with any common colour blindness
// tell apart; conflicting or invalid codes are hatched as well.
const char *const OWN = "#009e73";       // the track's own code: bluish green
const char *const NEIGHBOUR = "#e69f00"; // carried over or early: orange
const char *const WRONG = "#d55e00";     // conflicting or invalid: vermillion
const char *const WRONG_FILL = "url(#hatch)";
const char *const CATALOG = "#cc79a7"; // reddish purple
const char *const DAMAGE = "#0072b2";  // blue
const char *const BANDS[2] = {"#dde9f4", "#c2d7ea"};
const char *const PAUSE = "#f1f6fb";
const char *const NO_ISRC = "#eeeeee";
const char *const INK = "#212121";

// Text as XML character data: markup escaped, control characters and
// bytes that are not UTF-8 (a file name's) shown as U+FFFD.
std::string xml(const std::string &text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const size_t length = c < 0x80                 ? 1
                              : c >= 0xC2 && c <= 0xDF ? 2
                              : c >= 0xE0 && c <= 0xEF ? 3
                              : c >= 0xF0 && c <= 0xF4 ? 4
                                                       : 0;
        const bool whole = length > 0 && i + length <= text.size() &&
                           std::all_of(text.begin() + static_cast<long>(i) + 1,
                                       text.begin() + static_cast<long>(i + length), [](char b) {
                                           return (static_cast<unsigned char>(b) & 0xC0) == 0x80;
                                       });
        if (!whole || (c < 0x20 && c != '\t' && c != '\n')) {
            out += "\xEF\xBF\xBD";
            continue;
        }
        if (length > 1) {
            out.append(text, i, length);
            i += length - 1;
            continue;
        }
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

std::string rect(double x, double y, double w, double h, const char *fill,
                 const std::string &title = "", const std::string &extra = "") {
    std::string out = "<rect x=\"" + number(x) + "\" y=\"" + number(y) + "\" width=\"" + number(w) +
                      "\" height=\"" + number(h) + "\" fill=\"" + fill + "\"" + extra;
    return title.empty() ? out + "/>\n" : out + "><title>" + xml(title) + "</title></rect>\n";
}

std::string line(double x1, double y1, double x2, double y2, const std::string &extra) {
    return "<line x1=\"" + number(x1) + "\" y1=\"" + number(y1) + "\" x2=\"" + number(x2) +
           "\" y2=\"" + number(y2) + "\"" + extra + "/>\n";
}

std::string sectors_text(uint64_t first, uint64_t last) {
    return "sectors " + std::to_string(first) + "-" + std::to_string(last) + " (" +
           disc_time(static_cast<int64_t>(first)) + "-" + disc_time(static_cast<int64_t>(last)) +
           ")";
}

// A generous width for text in the sans-serif fonts renderers pick: wide
// enough that labels placed apart never touch.
double text_width(const std::string &text, double size) {
    double width = 0;
    for (const char c : text) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) { // one per UTF-8 character
            width += c == 'M' || c == 'W' || c == 'm' || c == 'w'   ? 0.9
                     : c >= 'A' && c <= 'Z'                         ? 0.72
                     : c == '-' || c == ' ' || c == '.' || c == ':' ? 0.38
                                                                    : 0.64;
        }
    }
    return width * size;
}

struct box {
    double x0, y0, x1, y1;
};

enum class anchor { start, middle, end };

// The SVG as it grows, with every label's box, so that slip lines go round
// them.
struct picture {
    std::string svg;
    std::vector<box> labels;

    void label(double x, double y, const std::string &content, double size, anchor where,
               const std::string &extra = "") {
        const double w = text_width(content, size);
        const double x0 = where == anchor::start ? x : where == anchor::middle ? x - w / 2 : x - w;
        labels.push_back({x0, y - 0.8 * size, x0 + w, y + 0.25 * size});
        const char *anchors[] = {"", " text-anchor=\"middle\"", " text-anchor=\"end\""};
        svg += "<text x=\"" + number(x) + "\" y=\"" + number(y) + "\" font-size=\"" + number(size) +
               "\"" + anchors[static_cast<int>(where)] + extra + ">" + xml(content) + "</text>\n";
    }
};

// Read sectors and disc positions to x.
struct scale {
    uint64_t sectors;
    int64_t offset; // from a disc position to the sector it was read at

    double x(double sector) const {
        return LEFT + PLOT * std::clamp(sector, 0.0, static_cast<double>(sectors)) /
                          static_cast<double>(sectors);
    }
    double x_lba(int64_t lba) const { return x(static_cast<double>(lba - offset)); }
};

// Where each readable track lies, from its first index to the next readable
// track's, or to the lead-out.
struct track_span {
    size_t index;
    double x0, x1;
};

std::vector<track_span> track_spans(const disc_report &r, const scale &s) {
    auto begin_of = [](const track_report &t) {
        return t.index00_lba.value_or(t.index01_lba.value_or(0));
    };
    std::vector<track_span> spans;
    for (size_t i = 0; i < r.tracks.size(); ++i) {
        if (!r.tracks[i].readable) {
            continue; // where it lies is in its finding
        }
        size_t next = i + 1;
        while (next < r.tracks.size() && !r.tracks[next].readable) {
            ++next;
        }
        const int64_t end =
            next < r.tracks.size()
                ? begin_of(r.tracks[next])
                : r.leadout_lba.value_or(static_cast<int64_t>(s.sectors) + s.offset);
        spans.push_back({i, s.x_lba(begin_of(r.tracks[i])), s.x_lba(end)});
    }
    return spans;
}

std::string isrc_shown(const track_report &t) {
    return t.isrc                               ? grouped_isrc(t.isrc->code)
           : t.status == isrc_status::ambiguous ? "codes tied"
                                                : "no ISRC";
}

bool differs_from_sheet(const disc_report &r, const track_report &t) {
    return r.expect &&
           std::any_of(r.expect->rows.begin(), r.expect->rows.end(), [&](const expect_row &row) {
               return row.track == t.number && !row.matches;
           });
}

std::string track_title(const disc_report &r, const track_report &t) {
    std::string title = "Track " + std::to_string(t.number) + ": " + isrc_shown(t);
    if (t.isrc) {
        title += " on " + counted(t.isrc->frames, "frame", "frames") +
                 (t.isrc->validity == code_validity::valid ? "" : ", no valid ISRC");
    }
    if (t.index01_lba) {
        title +=
            "; starts at " + disc_time(*t.index01_lba) + ", LBA " + std::to_string(*t.index01_lba);
    }
    if (t.index00_lba) {
        title += "; pause from " + disc_time(*t.index00_lba);
    }
    title += "; " + counted(t.damaged.value_or(0), "damaged frame", "damaged frames");
    const size_t others = t.other_isrcs.size() + t.pause_isrcs.size();
    if (others > 0) {
        title += "; " + counted(others, "other code", "other codes");
    }
    if (differs_from_sheet(r, t)) {
        title += "; differs from " + r.expect->file;
    }
    return title;
}

void title_lines(picture &p, const disc_report &r) {
    const int64_t length = r.ids.ids ? r.ids.leadout : static_cast<int64_t>(r.sectors);
    std::string name = r.mcn && r.mcn->value ? "MCN " + r.mcn->value->code : "No MCN";
    name += " \u00b7 " + counted(r.tracks.size(), "track", "tracks") + " \u00b7 " +
            duration(static_cast<uint64_t>(std::max<int64_t>(length, 0)));
    if (r.ids.ids) {
        name += " \u00b7 MusicBrainz " + r.ids.ids->musicbrainz;
    }
    p.label(LEFT, 22, name, 15, anchor::start, " font-weight=\"bold\"");

    const uint64_t damaged = r.frames.crc_error + r.frames.data_error;
    char share[32];
    std::snprintf(share, sizeof share, "%.2f%%",
                  100.0 * damaged / std::max<uint64_t>(r.sectors, 1));
    std::string summary = std::to_string(r.sectors) + " sectors read, " + share +
                          " of Q frames damaged" +
                          (r.mcn ? std::string("; MCN ") + mcn_verdict(*r.mcn) : "");
    if (!r.drive.usable_q) {
        summary += "; no usable Q through raw P-W";
    }
    if (r.expect) {
        summary += r.expect->match() ? "; as " + r.expect->file + " says"
                                     : "; differs from " + r.expect->file + " (outlined)";
    }
    p.label(LEFT, 42, summary, BODY, anchor::start);
    p.label(LEFT, 60, std::string("qscan-report ") + QSCAN_VERSION, SMALL, anchor::start,
            " fill=\"#616161\"");
    for (const auto &[y, row] :
         {std::pair{TRACKS_Y + TRACKS_H / 2 + 4, "Tracks"},
          std::pair{ISRC_Y + ISRC_H / 2 + 4, "ISRC"}, std::pair{MCN_Y + MCN_H / 2 + 4, "MCN"},
          std::pair{DAMAGE_Y + 30, "Damage"}}) {
        p.label(10, y, row, BODY, anchor::start, " font-weight=\"bold\"");
    }
}

// Each track's band, named inside where its number fits, with its ISRC
// below where that fits too. The tracks too narrow for their number are
// returned for the row of ticks.
std::vector<track_span> track_bands(picture &p, const disc_report &r,
                                    const std::vector<track_span> &spans, const scale &s) {
    std::vector<track_span> narrow;
    p.svg += "<g id=\"tracks\">\n";
    for (const track_span &span : spans) {
        const track_report &t = r.tracks[span.index];
        const bool differs = differs_from_sheet(r, t);
        const double w = span.x1 - span.x0;
        p.svg += differs ? "<g class=\"track differs\">" : "<g class=\"track\">";
        p.svg += "<title>" + xml(track_title(r, t)) + "</title>\n";
        p.svg += rect(span.x0, TRACKS_Y, std::max(w, 0.5), TRACKS_H, BANDS[span.index % 2]);
        if (t.index00_lba && t.index01_lba) {
            p.svg += rect(span.x0, TRACKS_Y, std::max(s.x_lba(*t.index01_lba) - span.x0, 0.5),
                          TRACKS_H, PAUSE);
        }
        if (differs) {
            p.svg += rect(span.x0 + 1, TRACKS_Y + 1, std::max(w - 2, 0.5), TRACKS_H - 2, "none", "",
                          std::string(" stroke=\"") + WRONG + "\" stroke-width=\"2\"");
        }
        const std::string name = std::to_string(t.number), code = isrc_shown(t);
        const double centre = (span.x0 + span.x1) / 2;
        // The code on one line, or split before its designation (or its
        // last word) onto two.
        const size_t split = code.rfind(code.back() == 'C' ? ' ' : '-');
        const std::string head = code.substr(0, split), tail = code.substr(split + 1);
        auto fits = [&](const std::string &text, double size) {
            return w >= text_width(text, size) + 2 * LABEL_GAP;
        };
        if (fits(name, BODY)) {
            const bool one_line = fits(code, SMALL),
                       two_lines = fits(head, SMALL) && fits(tail, SMALL);
            p.label(centre, TRACKS_Y + (one_line || !two_lines ? 19 : 15), name, BODY,
                    anchor::middle, " class=\"label\" font-weight=\"bold\"");
            if (one_line) {
                p.label(centre, TRACKS_Y + 37, code, SMALL, anchor::middle, " class=\"label\"");
            } else if (two_lines) {
                p.label(centre, TRACKS_Y + 29, head, SMALL, anchor::middle, " class=\"label\"");
                p.label(centre, TRACKS_Y + 41, tail, SMALL, anchor::middle, " class=\"label\"");
            }
        } else {
            narrow.push_back(span);
        }
        p.svg += "</g>\n";
    }
    p.svg += "</g>\n";
    return narrow;
}

// The tracks too narrow for their number: a short tick at each start, the
// numbers in two rows below; where neither row has room, the number joins
// the label before it as a range ("7-9").
void track_ticks(picture &p, const disc_report &r, const std::vector<track_span> &narrow) {
    struct placed_name {
        double x, end;
        int first, last;
        int row;
    };
    std::vector<placed_name> names;
    double row_end[2] = {-1e9, -1e9};
    double before[2] = {-1e9, -1e9}; // where the label before a row's last ends
    std::string ticks;
    for (const track_span &span : narrow) {
        const track_report &t = r.tracks[span.index];
        ticks += "<g class=\"tick\"><title>" + xml(track_title(r, t)) + "</title>" +
                 line(span.x0, TICKS_Y, span.x0, TICKS_Y + TICK_H,
                      std::string(" stroke=\"") + INK + "\"") +
                 "</g>\n";
        const double w = text_width(std::to_string(t.number), SMALL);
        const double x = span.x0; // a number fits in the margin right of the plot
        const int row = row_end[0] + LABEL_GAP <= x ? 0 : row_end[1] + LABEL_GAP <= x ? 1 : -1;
        if (row >= 0 || names.empty()) {
            const int at = std::max(row, 0);
            names.push_back({x, x + w, t.number, t.number, at});
            before[at] = row_end[at];
            row_end[at] = x + w;
        } else {
            placed_name &last = names.back(); // the rightmost of its row
            last.last = t.number;
            const double range =
                text_width(std::to_string(last.first) + "-" + std::to_string(last.last), SMALL);
            // Back from the edge, but not onto the label before it.
            last.x = std::max(std::min(last.x, WIDTH - 2 - range), before[last.row] + LABEL_GAP);
            last.end = last.x + range;
            row_end[last.row] = last.end;
        }
    }
    p.svg += "<g id=\"track-ticks\">\n" + ticks;
    for (const placed_name &n : names) {
        const std::string text = n.first == n.last
                                     ? std::to_string(n.first)
                                     : std::to_string(n.first) + "-" + std::to_string(n.last);
        p.label(n.x, TICKS_Y + TICK_H + 10 + TICK_ROW * n.row, text, SMALL, anchor::start,
                " class=\"tick-label\"");
    }
    p.svg += "</g>\n";
}

// Under each track that has no code of its own, a grey stretch that says
// so, before the frames drawn over it.
void no_isrc_stretches(picture &p, const disc_report &r, const std::vector<track_span> &spans) {
    p.svg += "<g id=\"no-isrc\">\n";
    for (const track_span &span : spans) {
        const track_report &t = r.tracks[span.index];
        if (t.isrc || t.status == isrc_status::ambiguous) {
            continue;
        }
        const double w = std::max(span.x1 - span.x0, 0.5);
        p.svg +=
            rect(span.x0, ISRC_Y, w, ISRC_H, NO_ISRC,
                 "Track " + std::to_string(t.number) + ": no ISRC (" + status_name(t.status) + ")",
                 " class=\"no-isrc\"");
        if (w >= text_width("no ISRC", SMALL) + 2 * LABEL_GAP) {
            p.label(span.x0 + w / 2, ISRC_Y + ISRC_H / 2 + 4, "no ISRC", SMALL, anchor::middle,
                    " fill=\"#616161\"");
        }
    }
    p.svg += "</g>\n";
}

// ISRC and catalog frames and the damage, bin by bin; the damage on a
// square-root scale, so that a few frames show beside a burst.
void frame_rows(picture &p, const disc_report &r, const scale &s) {
    const uint64_t per_bin = r.picture.sectors_per_bin;
    uint32_t most = 0;
    for (const picture_bin &bin : r.picture.bins) {
        most = std::max(most, bin.damaged);
    }
    std::string isrcs, catalogs, bars;
    for (size_t i = 0; i < r.picture.bins.size(); ++i) {
        const picture_bin &bin = r.picture.bins[i];
        const uint64_t first = i * per_bin;
        const uint64_t last = std::min(first + per_bin, s.sectors) - 1;
        const double x0 = s.x(static_cast<double>(first)), w = std::max(s.x(last + 1.0) - x0, 1.0);
        if (bin.own + bin.neighbour + bin.wrong > 0) {
            const char *fill = bin.wrong > 0 ? WRONG_FILL : bin.neighbour > 0 ? NEIGHBOUR : OWN;
            isrcs += rect(x0, ISRC_Y, bin.wrong > 0 ? std::max(w, MIN_WRONG_W) : w, ISRC_H, fill,
                          sectors_text(first, last) + ": " + std::to_string(bin.own) +
                              " ISRC frames of the track's own code, " +
                              std::to_string(bin.neighbour) + " carried over or early, " +
                              std::to_string(bin.wrong) + " conflicting or invalid",
                          bin.wrong > 0 ? " class=\"wrong\"" : "");
        }
        if (bin.catalog > 0) {
            catalogs += rect(x0, MCN_Y, w, MCN_H, CATALOG,
                             sectors_text(first, last) + ": " +
                                 counted(bin.catalog, "catalog frame", "catalog frames"));
        }
        if (bin.damaged > 0) {
            const double h = DAMAGE_H * std::sqrt(static_cast<double>(bin.damaged) / most);
            bars += rect(x0, AXIS_Y - h, w, h, DAMAGE,
                         sectors_text(first, last) + ": " +
                             counted(bin.damaged, "damaged frame", "damaged frames"),
                         " class=\"damage\"");
        }
    }
    p.svg += "<g id=\"isrc-frames\">\n" + isrcs + "</g>\n";
    p.svg += "<g id=\"catalog-frames\">\n" + catalogs + "</g>\n";
    p.svg += "<g id=\"damage\">\n" + bars + "</g>\n";

    const std::string unit = per_bin == 75       ? "second"
                             : per_bin % 75 == 0 ? std::to_string(per_bin / 75) + " s"
                                                 : std::to_string(per_bin) + " sectors";
    p.label(LEFT, DAMAGE_Y - 6, "damaged frames per " + unit + ", square-root scale", SMALL,
            anchor::start, " class=\"damage-axis\"");
    if (most > 0) {
        // Marks at the full height, and at a quarter of the most, half way up.
        p.label(LEFT - 4, DAMAGE_Y + 4, std::to_string(most), SMALL, anchor::end);
        if (most >= 4) {
            const double y = AXIS_Y - DAMAGE_H * std::sqrt((most / 4) / double(most));
            p.label(LEFT - 4, y + 4, std::to_string(most / 4), SMALL, anchor::end);
            p.svg += line(LEFT - 2, y, LEFT, y, std::string(" stroke=\"") + INK + "\"");
        }
    }
    p.label(LEFT - 4, AXIS_Y, "0", SMALL, anchor::end);
}

// Disc time along the bottom: marks at a step that gives a dozen or fewer.
void time_axis(picture &p, const scale &s) {
    const std::string stroke = std::string(" stroke=\"") + INK + "\"";
    p.svg += line(LEFT, AXIS_Y, LEFT + PLOT, AXIS_Y, stroke);
    const double seconds = static_cast<double>(s.sectors) / 75.0;
    int step = 600;
    for (const int candidate : {10, 15, 30, 60, 120, 300, 600}) {
        if (seconds / candidate <= 12) {
            step = candidate;
            break;
        }
    }
    for (int64_t mark = 0; mark * step * 75 - 150 - s.offset <= static_cast<int64_t>(s.sectors);
         ++mark) {
        const int64_t lba = mark * step * 75 - 150;
        if (lba - s.offset < 0) {
            continue;
        }
        const double x = s.x_lba(lba);
        char label[32];
        std::snprintf(label, sizeof label, "%lld:%02lld", static_cast<long long>(mark * step / 60),
                      static_cast<long long>(mark * step % 60));
        p.svg += line(x, AXIS_Y, x, AXIS_Y + 5, stroke);
        p.label(x, AXIS_Y + 17, label, 11, anchor::middle);
    }
    p.label(LEFT + PLOT, AXIS_Y + 32, "disc time (min:s)", SMALL, anchor::end);
}

// A dashed line from top to bottom at x, broken wherever a label lies
// across it.
std::string dashed_around(const std::vector<box> &labels, double x, double top, double bottom) {
    std::vector<std::pair<double, double>> gaps;
    for (const box &b : labels) {
        if (b.x0 - 1 <= x && x <= b.x1 + 1 && b.y1 > top && b.y0 < bottom) {
            gaps.emplace_back(b.y0 - 1, b.y1 + 1);
        }
    }
    std::sort(gaps.begin(), gaps.end());
    const std::string style =
        std::string(" stroke=\"") + WRONG + "\" stroke-width=\"1.5\" stroke-dasharray=\"4,3\"";
    std::string out;
    double y = top;
    for (const auto &[from, to] : gaps) {
        if (from > y) {
            out += line(x, y, x, from, style);
        }
        y = std::max(y, to);
    }
    if (y < bottom) {
        out += line(x, y, x, bottom, style);
    }
    return out;
}

// Where the drive's Q offset slips: a dashed line each, and a label above
// the tracks; slips whose labels would touch share one ("3 slips").
void slip_marks(picture &p, const disc_report &r, const scale &s) {
    // A label starts just right of its line, or ends at the picture's edge.
    struct group {
        double x;
        size_t count;
        int64_t offset;
        std::string text() const {
            return count == 1 ? "slip to " + std::to_string(offset)
                              : std::to_string(count) + " slips";
        }
        double start() const { return std::min(x + 3, WIDTH - 2 - text_width(text(), SMALL)); }
        double end() const { return start() + text_width(text(), SMALL); }
    };
    std::vector<group> groups;
    const std::vector<box> labels = p.labels; // the lines go round what lies below
    for (const slip &sl : r.drive.slips) {
        const double x = s.x(static_cast<double>(sl.sector));
        p.svg += "<g class=\"slip\"><title>" +
                 xml("At sector " + std::to_string(sl.sector) + " the drive's Q offset goes from " +
                     std::to_string(sl.previous) + " to " + std::to_string(sl.offset)) +
                 "</title>" + dashed_around(labels, x, TRACKS_Y - 4, AXIS_Y) + "</g>\n";
        if (!groups.empty() && group{x, 1, sl.offset}.start() < groups.back().end() + LABEL_GAP) {
            ++groups.back().count;
        } else {
            groups.push_back({x, 1, sl.offset});
        }
    }
    for (const group &g : groups) {
        p.label(g.start(), SLIP_LABEL_Y, g.text(), SMALL, anchor::start,
                std::string(" class=\"slip-label\" fill=\"") + WRONG + "\"");
    }
    // The analysis keeps the first slips only: the rest are said, not drawn.
    if (r.drive.slip_count > r.drive.slips.size()) {
        p.label(LEFT + PLOT, SLIP_LABEL_Y - 12,
                std::to_string(r.drive.slip_count) + " slips in all; the first " +
                    std::to_string(r.drive.slips.size()) + " drawn",
                SMALL, anchor::end, std::string(" class=\"slips-undrawn\" fill=\"") + WRONG + "\"");
    }
}

// Each scan's stretch of the disc, and its damage, bin by bin.
void scan_rows(picture &p, const disc_report &r, const scale &s) {
    p.svg += "<g id=\"scans\">\n";
    for (size_t k = 0; k < r.scans.size(); ++k) {
        const scan_summary &scan = r.scans[k];
        const double y = SCANS_Y + SCAN_ROW * static_cast<double>(k);
        const std::string name = "scan " + std::to_string(k + 1);
        p.label(LEFT - 4, y + SCAN_H, name, SMALL, anchor::end);
        if (!scan.from_raw) {
            continue;
        }
        const int64_t at = scan.first_lba + scan.drive.q_offset.value_or(0);
        const int64_t sectors = static_cast<int64_t>(scan.sectors);
        const double x0 = s.x_lba(at), x1 = s.x_lba(at + sectors);
        p.svg +=
            rect(x0, y, std::max(x1 - x0, 1.0), SCAN_H, NO_ISRC,
                 name + ": LBA " + std::to_string(at) + "-" + std::to_string(at + sectors - 1));
        const int64_t per_bin = static_cast<int64_t>(scan.picture.sectors_per_bin);
        for (size_t i = 0; i < scan.picture.bins.size(); ++i) {
            const uint32_t damaged = scan.picture.bins[i].damaged;
            if (damaged == 0) {
                continue;
            }
            const int64_t first = at + static_cast<int64_t>(i) * per_bin;
            const int64_t last = std::min(first + per_bin, at + sectors) - 1;
            const double b0 = s.x_lba(first);
            p.svg += rect(b0, y, std::max(s.x_lba(last + 1) - b0, 1.0), SCAN_H, DAMAGE,
                          name + ": LBA " + std::to_string(first) + "-" + std::to_string(last) +
                              ": " + counted(damaged, "damaged frame", "damaged frames"),
                          " class=\"scan-damage\"");
        }
    }
    p.svg += "</g>\n";
}

void legend(picture &p, double below) {
    const struct {
        const char *fill, *what;
    } items[] = {{OWN, "the track's own ISRC"},
                 {NEIGHBOUR, "carried over or early"},
                 {WRONG_FILL, "conflicting or invalid ISRC"},
                 {NO_ISRC, "no ISRC"},
                 {CATALOG, "catalog number"},
                 {DAMAGE, "damaged Q frames"},
                 {BANDS[0], "track"},
                 {PAUSE, "pause (index 00)"},
                 {nullptr, "slip of the drive's Q offset"}};
    p.svg += "<g id=\"legend\">\n";
    for (size_t i = 0; i < std::size(items); ++i) {
        const double x = LEFT + LEGEND_COLUMN * static_cast<double>(i % 4);
        const double y = below + LEGEND_Y + LEGEND_ROW * static_cast<double>(i / 4);
        if (items[i].fill != nullptr) {
            p.svg += rect(x, y - 10, 12, 12, items[i].fill, "",
                          " stroke=\"#757575\" stroke-width=\"0.5\"");
        } else {
            p.svg += line(x + 6, y - 11, x + 6, y + 2,
                          std::string(" stroke=\"") + WRONG +
                              "\" stroke-width=\"1.5\" stroke-dasharray=\"4,3\"");
        }
        p.label(x + 18, y, items[i].what, BODY, anchor::start);
    }
    p.svg += "</g>\n";
}

} // namespace

std::string svg_picture(const disc_report &r) {
    const scale s{std::max<uint64_t>(r.sectors, 1), r.drive.q_offset.value_or(0) + r.first_lba};
    const double below =
        r.scans.size() > 1 ? SCAN_ROW * static_cast<double>(r.scans.size()) + 8 : 0;
    const double height = HEIGHT + below;
    picture p;
    p.svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" +
            number(WIDTH) + "\" height=\"" + number(height) + "\" viewBox=\"0 0 " + number(WIDTH) +
            " " + number(height) + "\" font-family=\"sans-serif\" font-size=\"12\" fill=\"" + INK +
            "\">\n";
    p.svg +=
        "<title>" + xml(std::string("qscan-report ") + QSCAN_VERSION + ": the disc") + "</title>\n";
    // The hatching of conflicting and invalid codes, the second cue beside
    // their colour.
    p.svg += std::string("<defs><pattern id=\"hatch\" width=\"6\" height=\"6\" "
                         "patternUnits=\"userSpaceOnUse\" patternTransform=\"rotate(45)\">"
                         "<rect width=\"6\" height=\"6\" fill=\"") +
             WRONG +
             "\"/><line x1=\"0\" y1=\"0\" x2=\"0\" y2=\"6\" stroke=\"#ffffff\" "
             "stroke-width=\"2.5\"/></pattern></defs>\n";
    p.svg += rect(0, 0, WIDTH, height, "#ffffff");

    title_lines(p, r);
    const std::vector<track_span> spans = track_spans(r, s);
    track_ticks(p, r, track_bands(p, r, spans, s));
    no_isrc_stretches(p, r, spans);
    frame_rows(p, r, s);
    time_axis(p, s);
    slip_marks(p, r, s);
    if (r.scans.size() > 1) {
        scan_rows(p, r, s);
    }
    legend(p, below);
    p.svg += "</svg>\n";
    return std::move(p.svg);
}

} // namespace report
