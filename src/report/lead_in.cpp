#include "report/lead_in.h"

#include "report/layout.h"
#include "report/vote.h"

namespace report {

namespace {

constexpr int POINT_FIRST = 0xA0, POINT_LAST = 0xA1, POINT_LEADOUT = 0xA2;
constexpr size_t MAX_POINTS = 128, MAX_VALUES = 16, MAX_RUNS = 16;

bool bcd(uint8_t byte) {
    return (byte >> 4) <= 9 && (byte & 0x0F) <= 9;
}

int from_bcd(uint8_t byte) {
    return (byte >> 4) * 10 + (byte & 0x0F);
}

int64_t lba_of(const uint8_t *msf) {
    return (from_bcd(msf[0]) * int64_t{MSF_SECONDS_PER_MINUTE} + from_bcd(msf[1])) *
               MSF_FRAMES_PER_SECOND +
           from_bcd(msf[2]) - 2 * MSF_FRAMES_PER_SECOND;
}

} // namespace

bool position_bcd_holds(const uint8_t q[SUBCHANNEL_Q_SIZE]) {
    for (int i = 1; i < 10; ++i) {
        const bool point = i == 2 && q[1] == 0x00 && q[2] >= POINT_FIRST && q[2] <= POINT_LEADOUT;
        if (!bcd(q[i]) && !(i == 1 && q[1] == 0xAA) && !point) {
            return false;
        }
    }
    return true;
}

bool lead_in_reader::add(const uint8_t q[SUBCHANNEL_Q_SIZE], uint64_t sector) {
    // The first byte holds CONTROL in its high nibble, the mode in its low.
    if ((q[0] & 0x0F) != 1 || q[1] != 0x00 || subchannel_check_crc(q) != 0 ||
        !position_bcd_holds(q)) {
        return false;
    }
    if (!runs_.empty() && runs_.back().last + 1 == sector) {
        runs_.back().last = sector;
    } else if (runs_.size() < MAX_RUNS) {
        runs_.push_back({sector, sector});
    }
    // A second session's lead-in names its own first, last and lead-out:
    // the disc's are the first lead-in's.
    const int point = q[2] >= POINT_FIRST ? q[2] : from_bcd(q[2]);
    if ((point >= POINT_FIRST && runs_.size() > 1) || point == 0) {
        return true;
    }
    const int64_t value =
        point == POINT_FIRST || point == POINT_LAST ? from_bcd(q[7]) : lba_of(q + 7);
    if (points_.count(point) == 0 && points_.size() >= MAX_POINTS) {
        return true;
    }
    auto &values = points_[point];
    if (values.count(value) != 0 || values.size() < MAX_VALUES) {
        ++values[value];
    }
    ++controls_[point][q[0] >> 4];
    return true;
}

std::optional<lead_in_toc> lead_in_reader::toc() const {
    if (points_.empty()) {
        return std::nullopt;
    }
    lead_in_toc out;
    for (const auto &[point, values] : points_) {
        const std::optional<int64_t> value = majority(values);
        if (!value) {
            continue;
        }
        if (point == POINT_FIRST) {
            out.first = static_cast<int>(*value);
        } else if (point == POINT_LAST) {
            out.last = static_cast<int>(*value);
        } else if (point == POINT_LEADOUT) {
            out.leadout = *value;
        } else if (point <= 99) {
            out.tracks.push_back({point, *value, control_of(controls_.at(point)).control});
        }
    }
    return out;
}

} // namespace report
