#include "report/report.h"

#include <algorithm>
#include <cstdio>

namespace report {

namespace {

bool all_zeros(const std::string &code) {
    return std::all_of(code.begin(), code.end(), [](char c) { return c == '0'; });
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

bool is_letter(char c) {
    return c >= 'A' && c <= 'Z';
}

} // namespace

code_validity isrc_validity(const std::string &isrc) {
    if (isrc.size() == 12 && all_zeros(isrc)) {
        return code_validity::placeholder;
    }
    if (isrc.size() != 12) {
        return code_validity::invalid;
    }
    for (size_t n = 0; n < 12; ++n) {
        const char c = isrc[n];
        const bool ok = n < 2 ? is_letter(c) : n < 5 ? is_letter(c) || is_digit(c) : is_digit(c);
        if (!ok) {
            return code_validity::invalid;
        }
    }
    return code_validity::valid;
}

bool mcn_check_digit_holds(const std::string &mcn) {
    if (mcn.size() != 13 || !std::all_of(mcn.begin(), mcn.end(), is_digit)) {
        return false;
    }
    // Places 1, 3, ..., 11 weigh 1, places 2, 4, ..., 12 weigh 3.
    int sum = 0;
    for (int n = 0; n < 12; ++n) {
        sum += (mcn[n] - '0') * (n % 2 == 0 ? 1 : 3);
    }
    return (10 - sum % 10) % 10 == mcn[12] - '0';
}

code_validity mcn_validity(const std::string &mcn) {
    if (mcn.size() == 13 && all_zeros(mcn)) {
        return code_validity::placeholder;
    }
    return mcn.size() == 13 && std::all_of(mcn.begin(), mcn.end(), is_digit)
               ? code_validity::valid
               : code_validity::invalid;
}

std::string grouped_isrc(const std::string &isrc) {
    if (isrc.size() != 12) {
        return isrc;
    }
    std::string out;
    for (size_t n = 0; n < 12; ++n) {
        if (n == 2 || n == 5 || n == 7) {
            out += '-';
        }
        out += isrc[n];
    }
    return out;
}

const char *kind_name(code_kind kind) {
    switch (kind) {
    case code_kind::own:
        return "own";
    case code_kind::carried_over:
        return "carried_over";
    case code_kind::early:
        return "early";
    case code_kind::conflicting:
        break;
    }
    return "conflicting";
}

const char *mcn_verdict(const mcn_report &mcn) {
    if (!mcn.value) {
        return "a tie";
    }
    switch (mcn.value->validity) {
    case code_validity::placeholder:
        return "an all-zero placeholder";
    case code_validity::invalid:
        return "not all digits";
    case code_validity::valid:
        break;
    }
    return mcn.check_digit_valid ? "check digit holds" : "check digit fails";
}

bool mcn_usable(const std::string &mcn) {
    return mcn_validity(mcn) == code_validity::valid && mcn_check_digit_holds(mcn);
}

// Bit 1 copy permitted, bit 3 four channels, bit 0 pre-emphasis; on a data
// track bit 0 means recorded incrementally and bit 3 is reserved.
std::vector<std::string> control_flags(int control) {
    const bool data = (control & 4) != 0;
    std::vector<std::string> out;
    if ((control & 2) != 0) {
        out.push_back("DCP");
    }
    if (!data && (control & 8) != 0) {
        out.push_back("4CH");
    }
    if (!data && (control & 1) != 0) {
        out.push_back("PRE");
    }
    return out;
}

const char *status_name(isrc_status status) {
    // In the order of the enumeration.
    static const char *const names[] = {"own", "none", "unknown", "ambiguous"};
    return names[static_cast<size_t>(status)];
}

namespace {

template <typename T> T value_of(const finding &f, const std::string &name) {
    for (const auto &[key, value] : f.values) {
        if (key == name && std::holds_alternative<T>(value)) {
            return std::get<T>(value);
        }
    }
    return T{};
}

} // namespace

int64_t finding::number(const std::string &name) const {
    return value_of<int64_t>(*this, name);
}

std::string finding::text(const std::string &name) const {
    return value_of<std::string>(*this, name);
}

std::vector<std::string> finding::list(const std::string &name) const {
    return value_of<std::vector<std::string>>(*this, name);
}

bool finding::flag(const std::string &name) const {
    return value_of<bool>(*this, name);
}

std::vector<int64_t> finding::numbers(const std::string &name) const {
    return value_of<std::vector<int64_t>>(*this, name);
}

std::string counted(uint64_t n, const char *one, const char *many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string duration(uint64_t frames) {
    char text[32];
    std::snprintf(text, sizeof text, "%02llu:%02llu.%02llu",
                  static_cast<unsigned long long>(frames / 75 / 60),
                  static_cast<unsigned long long>(frames / 75 % 60),
                  static_cast<unsigned long long>(frames % 75));
    return text;
}

std::string disc_time(int64_t lba) {
    const int64_t frames = lba + 150;
    return frames < 0 ? "-" + duration(static_cast<uint64_t>(-frames))
                      : duration(static_cast<uint64_t>(frames));
}

} // namespace report
