#include "report/writers.h"

#include <algorithm>
#include <cstdio>

namespace report {

namespace {

// The picture's geometry, in pixels: 1200 wide, rows of equal width below a
// title, each labelled at the left.
constexpr double WIDTH = 1200, LEFT = 80, RIGHT = 20, PLOT = WIDTH - LEFT - RIGHT;
constexpr double TRACKS_Y = 58, TRACKS_H = 56;
constexpr double ISRC_Y = 124, ISRC_H = 22;
constexpr double MCN_Y = 154, MCN_H = 14;
constexpr double DAMAGE_Y = 182, DAMAGE_H = 100;
constexpr double AXIS_Y = DAMAGE_Y + DAMAGE_H;
constexpr double LEGEND_Y = AXIS_Y + 46, LEGEND_ROW = 20, LEGEND_COLUMN = 275;
constexpr double HEIGHT = LEGEND_Y + 2 * LEGEND_ROW;

const char *const OWN = "#2e7d32";       // the track's own code
const char *const NEIGHBOUR = "#f9a825"; // carried over or early
const char *const WRONG = "#c62828";     // conflicting or invalid
const char *const CATALOG = "#6a1b9a";
const char *const DAMAGE = "#455a64";
const char *const BANDS[2] = {"#d4deec", "#b7c7de"};
const char *const PAUSE = "#edf1f7";

std::string xml(const std::string &text) {
    std::string out;
    for (const char c : text) {
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
            out += c;
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

std::string text(double x, double y, const std::string &content, const std::string &extra = "") {
    return "<text x=\"" + number(x) + "\" y=\"" + number(y) + "\"" + extra + ">" + xml(content) +
           "</text>\n";
}

std::string sectors_text(uint64_t first, uint64_t last) {
    return "sectors " + std::to_string(first) + "-" + std::to_string(last) + " (" +
           disc_time(static_cast<int64_t>(first)) + "-" + disc_time(static_cast<int64_t>(last)) +
           ")";
}

} // namespace

std::string svg_picture(const disc_report &r) {
    const uint64_t sectors = std::max<uint64_t>(r.sectors, 1);
    // From a disc position to the sector it was read at, counted from the
    // first sector read.
    const int64_t offset = r.drive.q_offset.value_or(0) + r.first_lba;
    // x of a read sector, and of the sector a disc position was read at.
    auto x_of = [&](double sector) {
        return LEFT + PLOT * std::clamp(sector, 0.0, static_cast<double>(sectors)) / sectors;
    };
    auto x_of_lba = [&](int64_t lba) { return x_of(static_cast<double>(lba - offset)); };

    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" +
                      number(WIDTH) + "\" height=\"" + number(HEIGHT) + "\" viewBox=\"0 0 " +
                      number(WIDTH) + " " + number(HEIGHT) +
                      "\" font-family=\"sans-serif\" font-size=\"12\" fill=\"#212121\">\n";
    out +=
        "<title>" + xml(std::string("qscan-report ") + QSCAN_VERSION + ": the disc") + "</title>\n";
    out += rect(0, 0, WIDTH, HEIGHT, "#ffffff");

    // The summary line.
    const uint64_t damaged = r.frames.crc_error + r.frames.data_error;
    char share[32];
    std::snprintf(share, sizeof share, "%.2f%%", 100.0 * damaged / sectors);
    std::string summary = std::to_string(r.sectors) + " sectors (" + duration(r.sectors) + "), " +
                          share + " of Q frames damaged, ";
    if (!r.mcn) {
        summary += "no catalog number";
    } else {
        summary += "MCN " + (r.mcn->value ? r.mcn->value->code + ": " : std::string()) +
                   mcn_verdict(*r.mcn);
    }
    if (!r.drive.usable_q) {
        summary += "; no usable Q through raw P-W";
    }
    if (r.expect) {
        summary += r.expect->match() ? "; as " + r.expect->file + " says"
                                     : "; differs from " + r.expect->file + " (outlined)";
    }
    out += text(LEFT, 22, std::string("qscan-report ") + QSCAN_VERSION,
                " font-size=\"15\" font-weight=\"bold\"");
    out += text(LEFT, 42, summary);

    for (const auto &[y, label] :
         {std::pair{TRACKS_Y + TRACKS_H / 2 + 4, "Tracks"},
          std::pair{ISRC_Y + ISRC_H / 2 + 4, "ISRC"}, std::pair{MCN_Y + MCN_H / 2 + 4, "MCN"},
          std::pair{DAMAGE_Y + DAMAGE_H / 2, "Damage"}}) {
        out += text(10, y, label, " font-weight=\"bold\"");
    }

    // One band per track, its pause lighter inside it.
    out += "<g id=\"tracks\">\n";
    auto begin_of = [](const track_report &t) {
        return t.index00_lba.value_or(t.index01_lba.value_or(0));
    };
    // A track no frame of which was read has no band: where it lies is in
    // its finding.
    for (size_t i = 0; i < r.tracks.size(); ++i) {
        const track_report &t = r.tracks[i];
        if (!t.readable) {
            continue;
        }
        size_t next = i + 1;
        while (next < r.tracks.size() && !r.tracks[next].readable) {
            ++next;
        }
        const int64_t begin = begin_of(t);
        const int64_t end = next < r.tracks.size()
                                ? begin_of(r.tracks[next])
                                : r.leadout_lba.value_or(static_cast<int64_t>(sectors) + offset);
        const double x0 = x_of_lba(begin), x1 = x_of_lba(end);
        const std::string isrc = t.isrc ? grouped_isrc(t.isrc->code) : "no ISRC";
        std::string title = "Track " + std::to_string(t.number) + ": " + isrc;
        if (t.isrc) {
            title += " on " + counted(t.isrc->frames, "frame", "frames") +
                     (t.isrc->validity == code_validity::valid ? "" : ", no valid ISRC");
        }
        if (t.index01_lba) {
            title += "; starts at " + disc_time(*t.index01_lba) + ", LBA " +
                     std::to_string(*t.index01_lba);
        }
        if (t.index00_lba) {
            title += "; pause from " + disc_time(*t.index00_lba);
        }
        title += "; " + counted(t.damaged.value_or(0), "damaged frame", "damaged frames");
        const size_t others = t.other_isrcs.size() + t.pause_isrcs.size();
        if (others > 0) {
            title += "; " + counted(others, "other code", "other codes");
        }
        const bool differs =
            r.expect &&
            std::any_of(r.expect->rows.begin(), r.expect->rows.end(), [&](const expect_row &row) {
                return row.track == t.number && !row.matches;
            });
        if (differs) {
            title += "; differs from " + r.expect->file;
        }
        out += differs ? "<g class=\"track differs\">" : "<g class=\"track\">";
        out += "<title>" + xml(title) + "</title>\n";
        out += rect(x0, TRACKS_Y, std::max(x1 - x0, 0.5), TRACKS_H, BANDS[i % 2]);
        if (t.index00_lba && t.index01_lba) {
            out +=
                rect(x0, TRACKS_Y, std::max(x_of_lba(*t.index01_lba) - x0, 0.5), TRACKS_H, PAUSE);
        }
        if (differs) {
            out += rect(x0 + 1, TRACKS_Y + 1, std::max(x1 - x0 - 2, 0.5), TRACKS_H - 2, "none", "",
                        std::string(" stroke=\"") + WRONG + "\" stroke-width=\"2\"");
        }
        // The label where it fits; the tooltip always says it.
        const std::string label = std::to_string(t.number) + " " + isrc;
        const double centre = (x0 + x1) / 2;
        if (x1 - x0 >= 7.0 * static_cast<double>(label.size()) + 8) {
            out += text(centre, TRACKS_Y + TRACKS_H / 2 + 4, label,
                        " class=\"label\" text-anchor=\"middle\"");
        } else if (x1 - x0 >= 7.0 * static_cast<double>(std::to_string(t.number).size()) + 4) {
            out += text(centre, TRACKS_Y + TRACKS_H / 2 + 4, std::to_string(t.number),
                        " class=\"label\" text-anchor=\"middle\"");
        }
        out += "</g>\n";
    }
    out += "</g>\n";

    // ISRC and catalog frames, and the damage histogram, bin by bin.
    const uint64_t per_bin = r.picture.sectors_per_bin;
    uint32_t most = 0;
    for (const picture_bin &bin : r.picture.bins) {
        most = std::max(most, bin.damaged);
    }
    std::string isrc_ticks, catalog_ticks, bars;
    for (size_t i = 0; i < r.picture.bins.size(); ++i) {
        const picture_bin &bin = r.picture.bins[i];
        const uint64_t first = i * per_bin;
        const uint64_t last = std::min(first + per_bin, sectors) - 1;
        const double x0 = x_of(static_cast<double>(first)),
                     w = std::max(x_of(last + 1.0) - x0, 1.0);
        if (bin.own + bin.neighbour + bin.wrong > 0) {
            const char *fill = bin.wrong > 0 ? WRONG : bin.neighbour > 0 ? NEIGHBOUR : OWN;
            isrc_ticks += rect(x0, ISRC_Y, w, ISRC_H, fill,
                               sectors_text(first, last) + ": " + std::to_string(bin.own) +
                                   " ISRC frames of the track's own code, " +
                                   std::to_string(bin.neighbour) + " carried over or early, " +
                                   std::to_string(bin.wrong) + " conflicting or invalid");
        }
        if (bin.catalog > 0) {
            catalog_ticks += rect(x0, MCN_Y, w, MCN_H, CATALOG,
                                  sectors_text(first, last) + ": " +
                                      counted(bin.catalog, "catalog frame", "catalog frames"));
        }
        if (bin.damaged > 0) {
            const double h = DAMAGE_H * bin.damaged / most;
            bars += rect(x0, AXIS_Y - h, w, h, DAMAGE,
                         sectors_text(first, last) + ": " +
                             counted(bin.damaged, "damaged frame", "damaged frames"),
                         " class=\"damage\"");
        }
    }
    out += "<g id=\"isrc-frames\">\n" + isrc_ticks + "</g>\n";
    out += "<g id=\"catalog-frames\">\n" + catalog_ticks + "</g>\n";
    out += "<g id=\"damage\">\n" + bars + "</g>\n";
    const std::string unit = per_bin == 75       ? "second"
                             : per_bin % 75 == 0 ? std::to_string(per_bin / 75) + " s"
                                                 : std::to_string(per_bin) + " sectors";
    out += text(10, DAMAGE_Y + DAMAGE_H / 2 + 14, "frames per", " font-size=\"10\"");
    out += text(10, DAMAGE_Y + DAMAGE_H / 2 + 26, unit, " font-size=\"10\"");
    out += text(LEFT - 4, DAMAGE_Y + 10, std::to_string(most),
                " text-anchor=\"end\" font-size=\"10\"");
    out += text(LEFT - 4, AXIS_Y, "0", " text-anchor=\"end\" font-size=\"10\"");

    // The time axis: disc time, marks at a step that gives a dozen or fewer.
    out += "<line x1=\"" + number(LEFT) + "\" y1=\"" + number(AXIS_Y) + "\" x2=\"" +
           number(LEFT + PLOT) + "\" y2=\"" + number(AXIS_Y) + "\" stroke=\"#212121\"/>\n";
    const double seconds = sectors / 75.0;
    int step = 600;
    for (const int candidate : {10, 15, 30, 60, 120, 300, 600}) {
        if (seconds / candidate <= 12) {
            step = candidate;
            break;
        }
    }
    for (int64_t mark = 0; mark * step * 75 - 150 - offset <= static_cast<int64_t>(sectors);
         ++mark) {
        const int64_t lba = mark * step * 75 - 150;
        if (lba - offset < 0) {
            continue;
        }
        const double x = x_of_lba(lba);
        char label[32];
        std::snprintf(label, sizeof label, "%lld:%02lld", static_cast<long long>(mark * step / 60),
                      static_cast<long long>(mark * step % 60));
        out += "<line x1=\"" + number(x) + "\" y1=\"" + number(AXIS_Y) + "\" x2=\"" + number(x) +
               "\" y2=\"" + number(AXIS_Y + 5) + "\" stroke=\"#212121\"/>\n";
        out += text(x, AXIS_Y + 17, label, " text-anchor=\"middle\" font-size=\"11\"");
    }
    out += text(LEFT + PLOT, AXIS_Y + 30, "disc time (min:s)",
                " text-anchor=\"end\" font-size=\"10\"");

    // Where the drive's Q offset slips.
    for (const slip &s : r.drive.slips) {
        const double x = x_of(static_cast<double>(s.sector));
        out += "<g class=\"slip\"><title>" +
               xml("At sector " + std::to_string(s.sector) + " the drive's Q offset goes from " +
                   std::to_string(s.previous) + " to " + std::to_string(s.offset)) +
               "</title><line x1=\"" + number(x) + "\" y1=\"" + number(TRACKS_Y - 4) + "\" x2=\"" +
               number(x) + "\" y2=\"" + number(AXIS_Y) + "\" stroke=\"" + WRONG +
               "\" stroke-width=\"1.5\" stroke-dasharray=\"4,3\"/>" +
               text(x + 3, TRACKS_Y - 6, "slip to " + std::to_string(s.offset),
                    std::string(" font-size=\"10\" fill=\"") + WRONG + "\"") +
               "</g>\n";
    }

    // The legend, four to a row.
    const struct {
        const char *fill, *what;
    } legend[] = {{OWN, "the track's own ISRC"},
                  {NEIGHBOUR, "carried over or early"},
                  {WRONG, "conflicting or invalid ISRC"},
                  {CATALOG, "catalog number"},
                  {DAMAGE, "damaged Q frames"},
                  {BANDS[0], "track"},
                  {PAUSE, "pause (index 00)"},
                  {nullptr, "slip of the drive's Q offset"}};
    out += "<g id=\"legend\">\n";
    for (size_t i = 0; i < std::size(legend); ++i) {
        const double x = LEFT + LEGEND_COLUMN * static_cast<double>(i % 4);
        const double y = LEGEND_Y + LEGEND_ROW * static_cast<double>(i / 4);
        if (legend[i].fill != nullptr) {
            out += rect(x, y - 10, 12, 12, legend[i].fill, "",
                        " stroke=\"#757575\" stroke-width=\"0.5\"");
        } else {
            out += "<line x1=\"" + number(x + 6) + "\" y1=\"" + number(y - 11) + "\" x2=\"" +
                   number(x + 6) + "\" y2=\"" + number(y + 2) + "\" stroke=\"" + WRONG +
                   "\" stroke-width=\"1.5\" stroke-dasharray=\"4,3\"/>\n";
        }
        out += text(x + 18, y, legend[i].what);
    }
    out += "</g>\n</svg>\n";
    return out;
}

} // namespace report
