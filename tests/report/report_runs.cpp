#include "report/report_runs.h"

#include "discgen.h"
#include "support/images.h"

#include <gtest/gtest.h>

std::string scan_described(const std::string &name, const std::string &description,
                           const std::vector<std::string> &options) {
    discgen_description disc;
    EXPECT_EQ(discgen_parse(description, &disc), "") << name;
    const std::string image =
        write_file(name + ".sub", discgen_image(discgen_frames(disc), true, disc.seed));
    std::vector<std::string> args = options;
    args.push_back("X:");
    const process_result scan = run_qscan(args, image);
    EXPECT_EQ(scan.exit_status, 0) << name << ": " << scan.err;
    return write_file(name + ".txt", std::vector<uint8_t>(scan.out.begin(), scan.out.end()));
}

process_result run_report(const std::vector<std::string> &args) {
    std::vector<std::string> argv = {QSCAN_REPORT_EXE};
    argv.insert(argv.end(), args.begin(), args.end());
    return run_process(QSCAN_REPORT_EXE, argv);
}

std::vector<std::string> track_statuses(const nlohmann::json &report) {
    std::vector<std::string> out;
    for (const nlohmann::json &t : report["tracks"]) {
        out.push_back(std::to_string(int(t["number"])) + " " + t["isrc_status"].get<std::string>() +
                      (t["isrc"].is_null() ? "" : " " + t["isrc"].get<std::string>()));
    }
    return out;
}

std::vector<std::string> finding_kinds(const nlohmann::json &report) {
    std::vector<std::string> out;
    for (const nlohmann::json &f : report["findings"]) {
        out.push_back(f["kind"].get<std::string>() + "@" +
                      (f["track"].is_null() ? "disc" : std::to_string(int(f["track"]))));
    }
    return out;
}

std::string without_file_names(const std::string &json_text) {
    nlohmann::json j = nlohmann::json::parse(json_text, nullptr, false);
    if (j.is_discarded() || !j.contains("scans")) {
        return json_text;
    }
    for (nlohmann::json &scan : j["scans"]) {
        scan.erase("files");
    }
    return j.dump(2);
}
