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
