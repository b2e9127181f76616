#include "report/scans.h"

#include <algorithm>
#include <cstring>

namespace report {

std::string scan_set::begin(int64_t first_lba, bool dump) {
    if (scans_.size() == MAX_SCANS) {
        return "starts the disc again, a scan beyond the " + std::to_string(MAX_SCANS) +
               " that qscan-report combines at most";
    }
    scans_.push_back(std::make_unique<reading>(first_lba, keep_));
    dump_ = dump;
    return "";
}

std::string scan_set::next_file(const std::string &name, bool new_scan) {
    // Text carries on text: a dump is a whole scan.
    if (new_scan || scans_.empty() || dump_) {
        const std::string why = begin(0, false);
        if (!why.empty()) {
            return name + ": " + why;
        }
    }
    scans_.back()->kept.files.push_back(name);
    return "";
}

std::string scan_set::next_dump(const std::string &name, int64_t first_lba) {
    const std::string why = begin(first_lba, true);
    if (!why.empty()) {
        return name + ": " + why;
    }
    scans_.back()->kept.files.push_back(name);
    return "";
}

void scan_set::add_sector(const uint8_t q[SUBCHANNEL_Q_SIZE]) {
    reading &r = *scans_.back();
    if (r.worker) {
        r.worker->add_sector(q);
    } else {
        r.read.add_sector(q);
    }
    if (keep_) {
        r.kept.sectors.write(q);
    }
}

void scan_set::add_code_line(bool catalog, const timing &position, const std::string &code) {
    reading &r = *scans_.back();
    if (r.worker) {
        r.worker->add_code_line(catalog, position, code);
    } else {
        r.read.add_code_line(catalog, position, code);
    }
    if (!keep_) {
        return;
    }
    code_line_record record{};
    record.catalog = catalog ? 1 : 0;
    record.position = position;
    std::memcpy(record.code, code.data(), std::min(code.size(), sizeof record.code));
    r.kept.lines.write(&record);
}

void scan_set::add_finding(finding f) {
    scans_.back()->findings.push_back(std::move(f));
}

scan_set::progress scan_set::current() const {
    if (scans_.empty()) {
        return {};
    }
    const reading &r = *scans_.back();
    return r.worker
               ? progress{r.worker->sectors(), r.worker->current_track(), r.worker->isrcs_found()}
               : progress{r.read.sectors(), r.read.current_track(), r.read.isrcs_found()};
}

bool scan_set::usable_q() {
    reading &r = *scans_.back();
    return r.worker ? r.worker->settled().usable_q() : r.read.usable_q();
}

std::vector<finished_scan> scan_set::finish() {
    std::vector<finished_scan> out;
    for (const std::unique_ptr<reading> &r : scans_) {
        r->kept.alone = r->worker ? r->worker->finish() : r->read.finish();
        r->worker.reset();
        for (finding &f : r->findings) {
            r->kept.alone.findings.push_back(std::move(f));
        }
        out.push_back(std::move(r->kept));
    }
    scans_.clear();
    return out;
}

} // namespace report
