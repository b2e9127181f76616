#include "report/picture.h"

#include <algorithm>

namespace report {

namespace {

// Codes told apart in one bin; beyond, frames count as wrong.
constexpr size_t MAX_CODES_PER_BIN = 16;

} // namespace

void picture_bins::add(reading_bin &bin, uint32_t id, uint32_t frames) {
    for (auto &[code, count] : bin.isrcs) {
        if (code == id) {
            count += frames;
            return;
        }
    }
    if (bin.isrcs.size() < MAX_CODES_PER_BIN) {
        bin.isrcs.emplace_back(id, frames);
    } else {
        bin.unkept += frames;
    }
}

picture_bins::reading_bin &picture_bins::bin(uint64_t sector) {
    while (sector / sectors_per_bin_ >= PICTURE_BINS) {
        std::vector<reading_bin> merged((bins_.size() + 1) / 2);
        for (size_t i = 0; i < bins_.size(); ++i) {
            reading_bin &into = merged[i / 2];
            into.damaged += bins_[i].damaged;
            into.catalog += bins_[i].catalog;
            into.unkept += bins_[i].unkept;
            for (const auto &[id, frames] : bins_[i].isrcs) {
                add(into, id, frames);
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

void picture_bins::isrc(uint64_t sector, const std::string &code) {
    reading_bin &b = bin(sector);
    const auto found = ids_.find(code);
    if (found != ids_.end()) {
        add(b, found->second, 1);
    } else if (ids_.size() < MAX_DISTINCT_ISRCS) {
        add(b, ids_.emplace(code, static_cast<uint32_t>(ids_.size())).first->second, 1);
    } else {
        ++b.unkept;
    }
}

int picture_kind(const disc_report &r, const std::vector<laid_track> &laid, int64_t from,
                 int64_t to, const std::string &code) {
    int best = 3; // in none of them: wrong
    auto consider = [&](const code_seen &c) {
        if (c.code == code) {
            const int kind = c.validity != code_validity::valid ? 2
                             : c.kind == code_kind::own         ? 0
                             : c.kind == code_kind::conflicting ? 2
                                                                : 1;
            best = std::min(best, kind);
        }
    };
    if (r.hidden && r.hidden->isrc) {
        consider(*r.hidden->isrc);
    }
    for (size_t i = 0; i < laid.size(); ++i) {
        const track_report &t = r.tracks[i];
        if (laid[i].begin <= to && from < laid[i].end) {
            if (t.isrc) {
                consider(*t.isrc);
            }
            std::for_each(t.other_isrcs.begin(), t.other_isrcs.end(), consider);
            std::for_each(t.pause_isrcs.begin(), t.pause_isrcs.end(), consider);
        }
    }
    return std::min(best, 2);
}

disc_picture picture_bins::finish(
    uint64_t sectors,
    const std::function<int(uint64_t first, uint64_t last, const std::string &code)> &kind_at) {
    if (sectors > 0) {
        bin(sectors - 1); // the bins cover the whole disc
    }
    std::vector<const std::string *> codes(ids_.size());
    for (const auto &[code, id] : ids_) {
        codes[id] = &code;
    }
    disc_picture out;
    out.sectors_per_bin = sectors_per_bin_;
    out.bins.resize(bins_.size());
    for (size_t i = 0; i < bins_.size(); ++i) {
        const uint64_t first = i * sectors_per_bin_, last = first + sectors_per_bin_ - 1;
        picture_bin &into = out.bins[i];
        into.damaged = bins_[i].damaged;
        into.catalog = bins_[i].catalog;
        into.wrong = bins_[i].unkept;
        for (const auto &[id, frames] : bins_[i].isrcs) {
            const int kind = kind_at(first, last, *codes[id]);
            (kind == 0 ? into.own : kind == 1 ? into.neighbour : into.wrong) += frames;
        }
    }
    return out;
}

} // namespace report
