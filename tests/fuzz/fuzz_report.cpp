// qscan-report's reading and analysis of arbitrary input, and its three
// writers on whatever comes of it. The first byte chooses the form: 0, text
// lines as qscan-report reads them; 1, ten-byte Q payloads sealed with their
// CRC, a sector each, so that every frame decodes; anything else, raw
// twelve-byte Q frames.
#include "discgen.h"
#include "report/combine.h"
#include "report/input.h"
#include "report/writers.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

static int written(const report::disc_report &result) {
    const size_t size = report::text_report(result).size() +
                        report::cue_sheet(result, "disc.bin").size() +
                        report::json_report(result).size();
    return size > 0 ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0) {
        return 0;
    }
    report::analysis analysis;
    const uint8_t form = data[0];
    ++data;
    --size;
    if (form == 0) {
        const std::string path = "/tmp/qscan-fuzz-report-" + std::to_string(getpid());
        FILE *file = std::fopen(path.c_str(), "wb");
        if (file == nullptr || std::fwrite(data, 1, size, file) != size) {
            std::abort();
        }
        std::fclose(file);
        file = std::fopen(path.c_str(), "rb");
        report::scan_set scans(false);
        report::scan_reader reader(scans, {});
        std::string error = reader.read(file, "fuzz");
        std::fclose(file);
        unlink(path.c_str());
        error += reader.finish();
        if (!error.empty() || reader.lines() == 0) {
            return 0;
        }
        std::vector<report::finished_scan> finished = scans.finish();
        report::disc_report combined;
        if (!report::combine_scans(finished, &combined).empty()) {
            return 0;
        }
        return written(combined);
    } else {
        const size_t step = form == 1 ? 10 : 12;
        for (size_t at = 0; at + step <= size; at += step) {
            uint8_t q[12] = {};
            std::copy(data + at, data + at + step, q);
            if (form == 1) {
                discgen_seal(q);
            }
            analysis.add_sector(q);
        }
        if (!analysis.has_raw()) {
            return 0;
        }
    }
    return written(analysis.finish());
}
