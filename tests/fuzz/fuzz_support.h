// Shared by the fuzz targets: every option on, output thrown away.
#pragma once

#include "scan/scan.h"

#include <cstdio>

inline scan_options fuzz_all_options() {
    scan_options options{};
    options.opt_raw = options.opt_print = options.opt_timing = 1;
    options.opt_catalog = options.opt_isrc = options.opt_errors = 1;
    return options;
}

inline void fuzz_discard_stdout() {
    if (std::freopen("/dev/null", "w", stdout) == nullptr) {
        std::perror("/dev/null");
    }
}
