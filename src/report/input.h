// Reading qscan's output: every line it can print, in any mix of its
// options, with LF or CRLF line ends. Raw lines go to the analysis as
// sectors, ISRC and catalog lines as code lines; the rest is checked and
// passed over.
#pragma once

#include "report/analysis.h"

#include <cstdio>
#include <functional>
#include <string>

namespace report {

// One line without its line end.
enum class line_kind { raw, catalog, recording, other, usage, unknown };

struct parsed_line {
    line_kind kind = line_kind::unknown;
    uint8_t q[SUBCHANNEL_Q_SIZE] = {}; // raw
    timing position{};                 // catalog, recording: the running position
    std::string code;                  // catalog: 13 characters; recording: 12, no dashes
};

parsed_line parse_line(const char *text, size_t length);

// Feeds every line of file into the analysis. "" when all went in, else
// what is wrong, naming the file (name) and the line. progress is called
// every few dozen lines.
// *lines counts the lines read, over every call.
std::string read_qscan_output(FILE *file, const std::string &name, analysis &into,
                              const std::function<void()> &progress, uint64_t *lines);

} // namespace report
