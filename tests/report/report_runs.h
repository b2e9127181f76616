// qscan-report run on scans of described discs, and its JSON in brief.
#pragma once

#include "support/process.h"

#include <nlohmann/json.hpp>

// The path of qscan's output for the disc discgen makes of description.
std::string scan_described(const std::string &name, const std::string &description,
                           const std::vector<std::string> &options = {"-r"});

process_result run_report(const std::vector<std::string> &args);

// "NUMBER STATUS [CODE]" for each track; "KIND@TRACK" (or @disc) for each
// finding.
std::vector<std::string> track_statuses(const nlohmann::json &report);
std::vector<std::string> finding_kinds(const nlohmann::json &report);

// qscan-report's JSON without the names of the files each scan was read
// from: the same scan from files of other names says the same.
std::string without_file_names(const std::string &json_text);
