#include "discgen.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <sstream>

namespace {

constexpr uint32_t FRAMES_PER_SECOND = 75;
constexpr uint32_t FRAMES_PER_MINUTE = 60 * FRAMES_PER_SECOND;
constexpr uint32_t DISC_START_FRAMES = 2 * FRAMES_PER_SECOND; // LBA 0 is 00:02.00

// Bit by bit, so that it shares nothing with the tool's table-driven CRC.
uint16_t crc16_bitwise(const uint8_t *data, int len) {
    uint16_t crc = 0;
    for (int i = 0; i < len; ++i) {
        for (int bit = 7; bit >= 0; --bit) {
            const bool feedback = ((crc >> 15) ^ (data[i] >> bit)) & 1;
            crc = static_cast<uint16_t>(crc << 1);
            if (feedback) {
                crc ^= 0x1021;
            }
        }
    }
    return crc;
}

uint8_t to_bcd(uint32_t value) {
    return static_cast<uint8_t>((value / 10) << 4 | value % 10);
}

int from_bcd(uint8_t byte) {
    return (byte >> 4) * 10 + (byte & 15);
}

// A Q frame's minutes are two BCD digits: no time on a disc reaches 100
// minutes, and neither does the disc itself.
constexpr uint32_t DISC_LIMIT_FRAMES = 100 * FRAMES_PER_MINUTE;
constexpr char BAD_TIME[] = "a time is M:SS.FF, at most 99:59.74, not '";

bool parse_msf(const std::string &text, uint32_t *frames) {
    unsigned long long m = 0, s = 0, f = 0; // wide, so that no count of minutes wraps
    char tail = 0;
    if (std::sscanf(text.c_str(), "%llu:%llu.%llu%c", &m, &s, &f, &tail) != 3 || m > 99 || s > 59 ||
        f > 74) {
        return false;
    }
    *frames = static_cast<uint32_t>(m * FRAMES_PER_MINUTE + s * FRAMES_PER_SECOND + f);
    return true;
}

// "LBA" or "FIRST-LAST", within the longest disc.
bool parse_sectors(const std::string &text, uint32_t *first, uint32_t *last) {
    unsigned long long a = 0, b = 0;
    char dash = 0, tail = 0;
    const int fields = std::sscanf(text.c_str(), "%llu%c%llu%c", &a, &dash, &b, &tail);
    if (fields == 1) {
        b = a;
    } else if (fields != 3 || dash != '-' || b < a) {
        return false;
    }
    *first = static_cast<uint32_t>(a);
    *last = static_cast<uint32_t>(b);
    return b < DISC_LIMIT_FRAMES;
}

// What a catalog (13 digits) or ISRC (5 six-bit characters, 7 digits) frame
// can carry: digits are nibbles, '0' to '?'; the six-bit characters run from
// '0' to 'o'.
bool codable(const std::string &code, bool isrc) {
    const size_t letters = isrc ? 5 : 0;
    if (code.size() != (isrc ? 12u : 13u)) {
        return false;
    }
    for (size_t n = 0; n < code.size(); ++n) {
        if (code[n] < '0' || code[n] > (n < letters ? 'o' : '?')) {
            return false;
        }
    }
    return true;
}

// Between two sessions: the first one's lead-out, then the second's lead-in.
constexpr uint32_t SESSION_LEAD_OUT_FRAMES = 6750, SESSION_LEAD_IN_FRAMES = 4500;

uint64_t disc_frames(const discgen_description &description) {
    uint64_t frames = DISC_START_FRAMES + description.leadout;
    for (const discgen_track &track : description.tracks) {
        frames += track.pregap + track.length +
                  (track.session > 1 ? SESSION_LEAD_OUT_FRAMES + SESSION_LEAD_IN_FRAMES : 0);
    }
    return frames;
}

// Decodes a Q frame on its own terms: the oracle's view of what the tool must
// make of it.
void classify(discgen_frame *frame) {
    const uint8_t *q = frame->q;
    frame->mode = q[0] & 15;
    frame->text.clear();
    if (static_cast<uint16_t>(~crc16_bitwise(q, 10)) != (q[10] << 8 | q[11])) {
        frame->kind = discgen_kind::crc_error;
        return;
    }
    if (frame->mode == 1) {
        frame->track = from_bcd(q[1]);
        frame->index = from_bcd(q[2]);
        frame->rel_m = from_bcd(q[3]);
        frame->rel_s = from_bcd(q[4]);
        frame->rel_f = from_bcd(q[5]);
        frame->abs_m = from_bcd(q[7]);
        frame->abs_s = from_bcd(q[8]);
        frame->abs_f = from_bcd(q[9]);
        const bool ok = (frame->track < 100 || frame->track == 110) && frame->index < 100 &&
                        frame->rel_m < 100 && frame->rel_s < 60 && frame->rel_f < 75 &&
                        frame->abs_m < 100 && frame->abs_s < 60 && frame->abs_f < 75;
        frame->kind = ok ? discgen_kind::position : discgen_kind::data_error;
        return;
    }
    if (frame->mode == 2 || frame->mode == 3) {
        uint64_t bits = 0;
        for (int i = 1; i <= 8; ++i) {
            bits = bits << 8 | q[i];
        }
        if (frame->mode == 2) {
            for (int n = 0; n < 13; ++n) {
                frame->text += static_cast<char>('0' + ((bits >> (60 - 4 * n)) & 15));
            }
        } else {
            for (int n = 0; n < 5; ++n) {
                frame->text += static_cast<char>(0x30 + ((bits >> (58 - 6 * n)) & 63));
            }
            for (int n = 0; n < 7; ++n) {
                frame->text += static_cast<char>('0' + ((bits >> (28 - 4 * n)) & 15));
            }
        }
        frame->abs_f = from_bcd(q[9]);
        frame->kind = frame->abs_f < 75
                          ? (frame->mode == 2 ? discgen_kind::catalog : discgen_kind::recording)
                          : discgen_kind::data_error;
        return;
    }
    frame->kind = discgen_kind::unknown_mode;
}

void put_msf(uint8_t *q, uint32_t frames) {
    q[0] = to_bcd(frames / FRAMES_PER_MINUTE % 100);
    q[1] = to_bcd(frames / FRAMES_PER_SECOND % 60);
    q[2] = to_bcd(frames % FRAMES_PER_SECOND);
}

} // namespace

void discgen_put_catalog(uint8_t *q, const std::string &mcn, uint32_t abs_frames) {
    for (int n = 0; n < 13; ++n) {
        const uint8_t digit = static_cast<uint8_t>(mcn[n] - '0');
        q[1 + n / 2] |= static_cast<uint8_t>(n % 2 == 0 ? digit << 4 : digit);
    }
    q[9] = to_bcd(abs_frames % FRAMES_PER_SECOND);
}

void discgen_put_recording(uint8_t *q, const std::string &isrc, uint32_t abs_frames) {
    uint64_t bits = 0;
    for (int n = 0; n < 5; ++n) {
        bits = bits << 6 | static_cast<uint64_t>((isrc[n] - 0x30) & 63);
    }
    bits <<= 2;
    for (int n = 5; n < 12; ++n) {
        bits = bits << 4 | static_cast<uint64_t>((isrc[n] - '0') & 15);
    }
    bits <<= 4;
    for (int i = 8; i >= 1; --i) {
        q[i] = static_cast<uint8_t>(bits);
        bits >>= 8;
    }
    q[9] = to_bcd(abs_frames % FRAMES_PER_SECOND);
}

namespace {

bool valid_isrc(const std::string &isrc) {
    if (isrc.size() != 12) {
        return false;
    }
    for (int n = 0; n < 12; ++n) {
        const char c = isrc[n];
        const bool digit = c >= '0' && c <= '9';
        if (!(digit || (n < 5 && c >= 'A' && c <= 'Z'))) {
            return false;
        }
    }
    return true;
}

std::string position_text(int track, int index, uint32_t rel, uint32_t abs) {
    char line[64];
    std::snprintf(line, sizeof line, "%2d.%02d %02u:%02u.%02u %02u:%02u.%02u", track, index,
                  rel / FRAMES_PER_MINUTE % 256, rel / FRAMES_PER_SECOND % 60,
                  rel % FRAMES_PER_SECOND, abs / FRAMES_PER_MINUTE % 256,
                  abs / FRAMES_PER_SECOND % 60, abs % FRAMES_PER_SECOND);
    return line;
}

std::string grouped_isrc(const std::string &isrc) {
    return isrc.substr(0, 2) + "-" + isrc.substr(2, 3) + "-" + isrc.substr(5, 2) + "-" +
           isrc.substr(7, 5);
}

} // namespace

discgen_frame discgen_classify(const uint8_t q[12]) {
    discgen_frame frame{};
    std::copy(q, q + 12, frame.q);
    classify(&frame);
    return frame;
}

void discgen_seal(uint8_t q[12]) {
    const uint16_t crc = static_cast<uint16_t>(~crc16_bitwise(q, 10));
    q[10] = static_cast<uint8_t>(crc >> 8);
    q[11] = static_cast<uint8_t>(crc);
}

std::string discgen_parse(const std::string &text, discgen_description *description) {
    *description = discgen_description{};
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        line = line.substr(0, line.find('#'));
        std::istringstream words(line);
        std::string directive;
        if (!(words >> directive)) {
            continue;
        }
        const std::string where = "line " + std::to_string(number) + ": ";
        bool ok = true;
        if (directive == "control") {
            ok = static_cast<bool>(words >> description->control) && description->control >= 0 &&
                 description->control < 16;
        } else if (directive == "copy_alternate") {
            ok = static_cast<bool>(words >> description->copy_alternate);
        } else if (directive == "first_track") {
            ok = static_cast<bool>(words >> description->first_track) &&
                 description->first_track >= 1 && description->first_track <= 99;
        } else if (directive == "lead_in") {
            std::string length;
            ok = static_cast<bool>(words >> length);
            if (ok && !parse_msf(length, &description->lead_in)) {
                return where + BAD_TIME + length + "'";
            }
        } else if (directive == "mcn") {
            ok = static_cast<bool>(words >> description->mcn) && description->mcn.size() == 13 &&
                 description->mcn.find_first_not_of("0123456789") == std::string::npos;
        } else if (directive == "mcn_every") {
            ok = static_cast<bool>(words >> description->mcn_every);
        } else if (directive == "isrc_every") {
            ok = static_cast<bool>(words >> description->isrc_every);
        } else if (directive == "drop_codes") {
            description->drop_codes = true;
        } else if (directive == "carry_over") {
            ok = static_cast<bool>(words >> description->carry_over);
        } else if (directive == "damage") {
            ok = static_cast<bool>(words >> description->damage) && description->damage >= 0 &&
                 description->damage <= 1;
        } else if (directive == "seed") {
            ok = static_cast<bool>(words >> description->seed);
        } else if (directive == "leadout") {
            std::string length;
            ok = static_cast<bool>(words >> length);
            if (ok && !parse_msf(length, &description->leadout)) {
                return where + BAD_TIME + length + "'";
            }
        } else if (directive == "track") {
            discgen_track track{};
            std::string key, value;
            ok = static_cast<bool>(words >> track.isrc);
            if (track.isrc == "-") {
                track.isrc.clear();
            } else if (!valid_isrc(track.isrc)) {
                return where + "an ISRC is 5 letters or digits then 7 digits";
            }
            bool has_length = false;
            while (ok && words >> key >> value) {
                if (key == "control") {
                    ok = std::sscanf(value.c_str(), "%d", &track.control) == 1 &&
                         track.control >= 0 && track.control < 16;
                } else if (key == "index") {
                    uint32_t at = 0;
                    if (!parse_msf(value, &at)) {
                        return where + BAD_TIME + value + "'";
                    }
                    track.indexes.push_back(at);
                } else if (key == "pause_isrc" || key == "isrc2") {
                    ok = valid_isrc(value);
                    (key == "isrc2" ? track.isrc2 : track.pause_isrc) = value;
                } else if (key == "number") {
                    ok = std::sscanf(value.c_str(), "%d", &track.number) == 1 &&
                         track.number >= 1 && track.number <= 99;
                } else if (key == "session") {
                    ok = value == "2" && !description->tracks.empty();
                    track.session = 2;
                } else if (key == "pregap" || key == "length") {
                    if (!parse_msf(value, key == "pregap" ? &track.pregap : &track.length)) {
                        return where + BAD_TIME + value + "'";
                    }
                    has_length = has_length || key == "length";
                } else {
                    ok = false;
                }
            }
            ok = ok && has_length && track.length > 0;
            description->tracks.push_back(track);
        } else if (directive == "q_offset") {
            discgen_q_offset offset;
            std::string from;
            ok = static_cast<bool>(words >> offset.offset) &&
                 (!(words >> from) || (from == "from" && words >> offset.from_lba));
            description->q_offsets.push_back(offset);
        } else if (directive == "at") {
            std::string sectors;
            uint32_t first = 0, last = 0;
            discgen_override change;
            ok = static_cast<bool>(words >> sectors >> change.kind) &&
                 parse_sectors(sectors, &first, &last);
            if (ok && (change.kind == "isrc" || change.kind == "mcn")) {
                // A code of any characters the Q channel can carry, or the usual one.
                const bool isrc = change.kind == "isrc";
                ok = !(words >> change.code) || codable(change.code, isrc);
            } else if (ok && change.kind == "abs") {
                std::string time;
                ok = static_cast<bool>(words >> time);
                if (ok && !parse_msf(time, &change.abs)) {
                    return where + BAD_TIME + time + "'";
                }
            } else if (ok && change.kind == "mode") {
                ok = static_cast<bool>(words >> change.mode) &&
                     (change.mode == 0 || change.mode > 3) && change.mode < 16;
            } else if (ok && change.kind == "q") {
                for (int i = 0; ok && i < 12; ++i) {
                    unsigned byte = 0;
                    ok = static_cast<bool>(words >> std::hex >> byte) && byte < 256;
                    change.q[i] = static_cast<uint8_t>(byte);
                }
            } else if (ok) {
                ok = change.kind == "crc_error" || change.kind == "data_error";
            }
            for (uint64_t lba = first; ok && lba <= last; ++lba) {
                description->overrides[static_cast<uint32_t>(lba)] = change;
            }
        } else {
            return where + "unknown directive '" + directive + "'";
        }
        if (!ok) {
            return where + "cannot read '" + line + "'";
        }
        if (disc_frames(*description) > DISC_LIMIT_FRAMES) {
            return where + "the disc runs past 99:59.74, the last time a Q frame can carry";
        }
    }
    if (description->tracks.empty()) {
        return "a disc needs at least one track";
    }
    if (description->tracks.size() > 99) {
        return "a disc has at most 99 tracks";
    }
    if (description->mcn_every > 0 && description->mcn.empty()) {
        return "mcn_every needs an mcn";
    }
    int number = description->first_track - 1, sessions = 0;
    for (const discgen_track &track : description->tracks) {
        if (track.number != 0 && track.number <= number) {
            return "track numbers must rise";
        }
        number = track.number != 0 ? track.number : number + 1;
        sessions += track.session > 1 ? 1 : 0;
    }
    if (number > 99) {
        return "track numbers run to 99";
    }
    return sessions > 1 ? "a disc has at most two sessions" : "";
}

namespace {

// Where the tracks lie: each one's number and the LBA of its index 01, and
// each session's lead-out.
struct disc_plan {
    std::vector<int> numbers;
    std::vector<uint32_t> starts;
    std::vector<uint32_t> leadouts;
};

disc_plan plan_of(const discgen_description &description) {
    disc_plan plan;
    uint32_t lba = 0;
    int number = description.first_track - 1;
    for (const discgen_track &track : description.tracks) {
        if (track.session > 1) {
            plan.leadouts.push_back(lba);
            lba += SESSION_LEAD_OUT_FRAMES + SESSION_LEAD_IN_FRAMES;
        }
        number = track.number != 0 ? track.number : number + 1;
        plan.numbers.push_back(number);
        plan.starts.push_back(lba + track.pregap);
        lba += track.pregap + track.length;
    }
    plan.leadouts.push_back(lba);
    return plan;
}

// One entry of a lead-in's table of contents: a point and its P-time.
struct toc_entry {
    uint8_t point, p[3];
    int control;
};

std::vector<toc_entry> toc_of(const discgen_description &description, const disc_plan &plan,
                              int session) {
    std::vector<toc_entry> tracks;
    bool data = false;
    for (size_t t = 0; t < description.tracks.size(); ++t) {
        const discgen_track &track = description.tracks[t];
        const bool in_session = (track.session > 1) == (session > 1);
        if (!in_session) {
            continue;
        }
        const int control = track.control >= 0 ? track.control : description.control;
        data = data || (control & 4) != 0;
        toc_entry e{to_bcd(static_cast<uint32_t>(plan.numbers[t])), {}, control};
        put_msf(e.p, plan.starts[t] + DISC_START_FRAMES);
        tracks.push_back(e);
    }
    const uint8_t disc_type = data ? 0x20 : 0x00; // CD-XA, or CD-DA
    std::vector<toc_entry> out{{0xA0, {tracks.front().point, disc_type, 0}, description.control},
                               {0xA1, {tracks.back().point, 0, 0}, description.control},
                               {0xA2, {}, description.control}};
    put_msf(out.back().p, plan.leadouts[static_cast<size_t>(session - 1)] + DISC_START_FRAMES);
    out.insert(out.end(), tracks.begin(), tracks.end());
    return out;
}

// A lead-in of count frames: each entry three times over, in turn.
void put_lead_in(const std::vector<toc_entry> &toc, uint32_t count,
                 std::vector<discgen_frame> &frames) {
    for (uint32_t k = 0; k < count; ++k) {
        const toc_entry &e = toc[k / 3 % toc.size()];
        discgen_frame frame{};
        uint8_t *q = frame.q;
        q[0] = static_cast<uint8_t>(e.control << 4 | 1);
        q[2] = e.point;
        put_msf(q + 3, k);
        std::copy(e.p, e.p + 3, q + 7);
        discgen_seal(q);
        classify(&frame);
        frames.push_back(frame);
    }
}

} // namespace

std::vector<discgen_frame> discgen_frames(const discgen_description &description) {
    std::mt19937 random(description.seed);
    std::vector<discgen_frame> frames;
    uint32_t abs = DISC_START_FRAMES;
    const disc_plan plan = plan_of(description);

    uint32_t recordings = 0; // ISRC frames of the track so far, for isrc2
    // carried: a code this frame carries as an ISRC frame, unless overridden.
    auto emit = [&](int track, int index, uint32_t rel, const std::string &isrc, int track_control,
                    const std::string &carried) {
        const uint32_t lba = static_cast<uint32_t>(frames.size());
        const bool flipped =
            description.copy_alternate > 0 && lba / description.copy_alternate % 2 == 1;
        const uint8_t control = static_cast<uint8_t>(
            ((track_control >= 0 ? track_control : description.control) ^ (flipped ? 2 : 0)) << 4);
        discgen_frame frame{};
        uint8_t *q = frame.q;
        const auto change = description.overrides.find(lba);
        const bool overridden = change != description.overrides.end();
        const std::string kind = overridden ? change->second.kind : carried.empty() ? "" : "isrc";
        const std::string code = overridden ? change->second.code : carried;
        const bool program = index > 0 && track != 110;
        bool catalog = kind == "mcn" || (kind.empty() && description.mcn_every > 0 && program &&
                                         lba % description.mcn_every == description.mcn_every / 2);
        bool recording =
            kind == "isrc" || (kind.empty() && !catalog && description.isrc_every > 0 && program &&
                               !isrc.empty() && lba % description.isrc_every == 0);
        if (description.drop_codes && !overridden) {
            catalog = recording = false;
        }
        if (kind == "q") {
            std::copy(change->second.q, change->second.q + 12, q);
        } else if (kind == "mode") {
            q[0] = static_cast<uint8_t>(control | change->second.mode);
            for (int i = 1; i < 10; ++i) {
                q[i] = static_cast<uint8_t>(random());
            }
            discgen_seal(q);
        } else if (catalog && (!description.mcn.empty() || !code.empty())) {
            q[0] = control | 2;
            discgen_put_catalog(q, code.empty() ? description.mcn : code, abs);
            discgen_seal(q);
        } else if (recording && (!isrc.empty() || !code.empty())) {
            q[0] = control | 3;
            discgen_put_recording(q, code.empty() ? isrc : code, abs);
            discgen_seal(q);
        } else {
            q[0] = control | 1;
            q[1] = track == 110 ? 0xAA : to_bcd(static_cast<uint32_t>(track));
            q[2] = to_bcd(static_cast<uint32_t>(index));
            put_msf(q + 3, rel);
            put_msf(q + 7, kind == "abs" ? change->second.abs : abs);
            if (kind == "data_error") {
                q[4] = 0x60; // a relative second that cannot be
            }
            discgen_seal(q);
        }
        const bool damaged = kind == "crc_error" || (kind.empty() && description.damage > 0 &&
                                                     random() < description.damage * 4294967296.0);
        if (damaged) {
            const uint32_t bit = random() % 96;
            q[bit / 8] ^= static_cast<uint8_t>(0x80 >> (bit % 8));
        }
        classify(&frame);
        frames.push_back(frame);
        ++abs;
    };

    for (size_t t = 0; t < description.tracks.size(); ++t) {
        const discgen_track &track = description.tracks[t];
        const int number = plan.numbers[t];
        const std::string previous = t > 0 ? description.tracks[t - 1].isrc : "";
        if (track.session > 1) {
            for (uint32_t k = 0; k < SESSION_LEAD_OUT_FRAMES; ++k) {
                emit(110, 1, k, "", -1, "");
            }
            put_lead_in(toc_of(description, plan, 2), SESSION_LEAD_IN_FRAMES, frames);
            abs += SESSION_LEAD_IN_FRAMES;
        }
        // The pause before a track counts its relative time down to zero.
        for (uint32_t k = 0; k < track.pregap; ++k) {
            const bool code_frame = !track.pause_isrc.empty() && description.isrc_every > 0 &&
                                    frames.size() % description.isrc_every == 0;
            emit(number, 0, track.pregap - 1 - k, track.isrc, track.control,
                 code_frame ? track.pause_isrc : "");
        }
        recordings = 0;
        for (uint32_t k = 0; k < track.length; ++k) {
            int index = 1;
            while (index - 1 < static_cast<int>(track.indexes.size()) &&
                   k >= track.indexes[static_cast<size_t>(index - 1)]) {
                ++index;
            }
            // A drive carrying the previous code over sends it as ISRC frames.
            const std::string carried = k < description.carry_over ? previous : "";
            const bool second = !track.isrc2.empty() && description.isrc_every > 0 &&
                                frames.size() % description.isrc_every == 0 &&
                                recordings++ % 2 == 1;
            emit(number, index, k, second ? track.isrc2 : track.isrc, track.control, carried);
        }
    }
    for (uint32_t k = 0; k < description.leadout; ++k) {
        emit(110, 1, k, "", -1, "");
    }
    if (description.lead_in > 0) {
        // The lead-in, then track 1's two seconds before LBA 0, its relative
        // time counting down to zero, its absolute time from zero.
        std::vector<discgen_frame> before;
        put_lead_in(toc_of(description, plan, 1), description.lead_in, before);
        const discgen_track &first = description.tracks.front();
        const int control = first.control >= 0 ? first.control : description.control;
        for (uint32_t k = 0; k < DISC_START_FRAMES; ++k) {
            discgen_frame frame{};
            frame.q[0] = static_cast<uint8_t>(control << 4 | 1);
            frame.q[1] = to_bcd(static_cast<uint32_t>(plan.numbers.front()));
            put_msf(frame.q + 3, DISC_START_FRAMES - 1 - k);
            put_msf(frame.q + 7, k);
            discgen_seal(frame.q);
            classify(&frame);
            before.push_back(frame);
        }
        frames.insert(frames.begin(), before.begin(), before.end());
    }
    if (description.q_offsets.empty()) {
        return frames;
    }
    // A drive that returns the Q of another sector: read sector n gets the
    // frame of sector n + offset; past either end of the disc, twelve zero bytes.
    std::vector<discgen_frame> read(frames.size());
    int64_t offset = 0;
    for (size_t n = 0; n < frames.size(); ++n) {
        for (const discgen_q_offset &change : description.q_offsets) {
            if (change.from_lba == n) {
                offset = change.offset;
            }
        }
        const int64_t source = static_cast<int64_t>(n) + offset;
        if (source >= 0 && source < static_cast<int64_t>(frames.size())) {
            read[n] = frames[static_cast<size_t>(source)];
        } else {
            classify(&read[n]);
        }
    }
    return read;
}

std::vector<uint8_t> discgen_image(const std::vector<discgen_frame> &frames, bool deinterleaved,
                                   uint32_t seed) {
    std::mt19937 noise(seed ^ 0x5EED5EEDu);
    std::vector<uint8_t> image(frames.size() * 96);
    for (size_t lba = 0; lba < frames.size(); ++lba) {
        uint8_t *sector = image.data() + lba * 96;
        for (int symbol = 0; symbol < 96; ++symbol) {
            const uint8_t q_bit = (frames[lba].q[symbol / 8] >> (7 - symbol % 8)) & 1;
            sector[symbol] = static_cast<uint8_t>((noise() & 0xBF) | q_bit << 6);
        }
        if (deinterleaved) {
            uint8_t channels[96] = {};
            for (int symbol = 0; symbol < 96; ++symbol) {
                for (int c = 0; c < 8; ++c) {
                    const int bit = (sector[symbol] >> (7 - c)) & 1;
                    channels[c * 12 + symbol / 8] |= static_cast<uint8_t>(bit << (7 - symbol % 8));
                }
            }
            std::copy(channels, channels + 96, sector);
        }
    }
    return image;
}

std::string discgen_expected_report(const std::vector<discgen_frame> &frames,
                                    const std::string &options) {
    auto has = [&](char letter) { return options.find(letter) != std::string::npos; };
    const bool raw = has('r'), print = has('p'), timing = has('t'), catalog = has('c'),
               errors = has('e'), isrc = has('i') || options.empty();
    // The running position as frame counts; minutes wrap after 255.
    const uint32_t wrap = 256 * FRAMES_PER_MINUTE;
    int track = 1, index = 1;
    uint32_t rel = 0, abs = DISC_START_FRAMES;
    auto advance = [&](uint32_t frames_on) {
        rel = (rel + frames_on) % wrap;
        abs = (abs + frames_on) % wrap;
    };

    std::string out;
    char line[128];
    for (size_t sector = 0; sector < frames.size(); ++sector) {
        const discgen_frame &f = frames[sector];
        if (raw) {
            for (uint8_t byte : f.q) {
                std::snprintf(line, sizeof line, "%02x ", byte);
                out += line;
            }
            out += "\n";
        }
        switch (f.kind) {
        case discgen_kind::crc_error:
        case discgen_kind::data_error:
            if (errors) {
                out += std::string("subchannel ") +
                       (f.kind == discgen_kind::crc_error ? "crc" : "data") + " error in sector " +
                       std::to_string(sector) + "\n";
            }
            advance(1);
            break;
        case discgen_kind::unknown_mode:
            if (print) {
                out += std::to_string(f.mode) + " unknown mode\n";
            }
            advance(1);
            break;
        case discgen_kind::position:
            track = f.track;
            index = f.index;
            rel = static_cast<uint32_t>(f.rel_m) * FRAMES_PER_MINUTE + f.rel_s * 75u + f.rel_f;
            abs = static_cast<uint32_t>(f.abs_m) * FRAMES_PER_MINUTE + f.abs_s * 75u + f.abs_f;
            if (print) {
                std::snprintf(line, sizeof line, "1 %2d.%02d %02d:%02d.%02d %02d:%02d.%02d\n",
                              f.track, f.index, f.rel_m, f.rel_s, f.rel_f, f.abs_m, f.abs_s,
                              f.abs_f);
                out += line;
            }
            if (timing) {
                out += position_text(track, index, rel, abs) + "\n";
            }
            break;
        case discgen_kind::catalog:
        case discgen_kind::recording: {
            const bool is_catalog = f.kind == discgen_kind::catalog;
            const std::string shown = is_catalog ? f.text : grouped_isrc(f.text);
            if (print) {
                out += (is_catalog ? "2 " : "3 ") + shown + " " + std::to_string(f.abs_f) + "\n";
            }
            advance((static_cast<uint32_t>(f.abs_f) + 75 - abs % 75) % 75);
            if (is_catalog ? catalog : isrc) {
                out += position_text(track, index, rel, abs) + " : " + shown + "\n";
            }
            break;
        }
        }
    }
    return out;
}
