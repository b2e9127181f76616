// A real drive behind a device node: the built qscan with the answerer
// preloaded in front of /dev/null, which plays a CD-ROM drive from an image.
// What the stand-in sends as SG_IO, and how it reads the answers, is the code
// that ships.
#include "support/images.h"
#include "support/process.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <scsi/sg.h>
#include <sstream>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

const std::vector<std::string> every_option = {"-r", "-p", "-t", "-c", "-i", "-e", "X:"};

// qscan on drive X:, the node /dev/null played from image, fault as
// SGIO_CDSIM_FAULT ("" for none). The answerer's log lands in log_path.
process_result run_through_node(const std::vector<std::string> &options, const std::string &image,
                                const std::string &fault = "", const std::string &log_path = "",
                                const std::string &node = "/dev/null") {
    std::vector<std::string> args = {QSCAN_EXE};
    args.insert(args.end(), options.begin(), options.end());
    std::map<std::string, std::string> env = {{"CDSIM_X", node},
                                              {"LD_PRELOAD", QSCAN_SGIO_PRELOAD},
                                              {"SGIO_CDSIM_NODE", "/dev/null"},
                                              {"SGIO_CDSIM_IMAGE", image},
                                              // a sanitized qscan loads the answerer first
                                              {"ASAN_OPTIONS", "verify_asan_link_order=0"}};
    if (!fault.empty()) {
        env["SGIO_CDSIM_FAULT"] = fault;
    }
    if (!log_path.empty()) {
        env["SGIO_CDSIM_LOG"] = log_path;
    }
    return run_process(QSCAN_EXE, args, env);
}

std::string first_lines(const std::string &text, int count) {
    size_t end = 0;
    for (int i = 0; i < count; ++i) {
        end = text.find('\n', end) + 1;
    }
    return text.substr(0, end);
}

std::vector<q_bytes> short_disc() {
    return {q_position(1, 1, 0, 0, 0, 0, 2, 0), q_recording("GBAYE6900123", 1),
            q_position(1, 1, 0, 0, 2, 0, 2, 2), q_catalog("0724384960650", 3),
            q_position(1, 1, 0, 0, 4, 0, 2, 4), q_position(1, 1, 0, 0, 5, 0, 2, 5)};
}

TEST(RealDrive, WholeScansPrintWhatImageScansPrint) {
    for (const std::string &image : sample_disc_images("node", "seed 11\ndamage 0.01\n")) {
        for (const std::vector<std::string> &options :
             {std::vector<std::string>{"X:"}, std::vector<std::string>{"-c", "-i", "X:"},
              every_option}) {
            const process_result node = run_through_node(options, image);
            const process_result direct = run_qscan(options, image);
            ASSERT_NE(direct.out, "");
            EXPECT_EQ(node.out, direct.out) << image;
            EXPECT_EQ(node.err, direct.err) << image;
            EXPECT_EQ(node.exit_status, 0) << image;
        }
    }
}

TEST(RealDrive, ANodeThatIsNoCdRomDriveDoesNotOpen) {
    const std::string image = write_image("node-open.img", short_disc());
    // The answerer plays /dev/null only: /dev/zero refuses CDROM_GET_CAPABILITY.
    for (const std::string node : {"/dev/zero", "/dev/full"}) {
        const process_result result = run_through_node({"-r", "X:"}, image, "", "", node);
        EXPECT_EQ(result.out, "") << node;
        EXPECT_EQ(result.err, "failed to open device: Invalid argument\n") << node;
        EXPECT_EQ(result.exit_status, 1) << node;
    }
}

TEST(RealDrive, EveryRequestAsSent) {
    const std::string image = write_image("node-log.img", short_disc());
    const std::string log = scratch_path("node-requests.log");
    std::remove(log.c_str());
    ASSERT_EQ(run_through_node({"X:"}, image, "", log).exit_status, 0);
    std::ifstream in(log);
    std::stringstream sent;
    sent << in.rdbuf();
    // The drive type is asked of the node itself; then one READ CD of one
    // block per sector, raw P-W and nothing else, until CHECK CONDITION past
    // the last one ends the scan.
    std::string expected = "CDROM_GET_CAPABILITY\n";
    for (int lba = 0; lba <= 6; ++lba) {
        expected += "SG_IO interface=S direction=-3 cdb=BE 00 00 00 00 0" + std::to_string(lba) +
                    " 00 00 01 00 01 00 length=96 timeout=60000 sense=0 iovecs=0\n";
    }
    EXPECT_EQ(sent.str(), expected);
}

// The answerer, linked into this binary, refuses a node opened any other way
// than a real drive needs, so dropping either flag from the stand-in's open
// fails every scan above.
TEST(RealDrive, TheNodeAnswersOnlyWhenOpenedReadWriteAndNonBlocking) {
    setenv("SGIO_CDSIM_NODE", "/dev/null", 1);
    setenv("SGIO_CDSIM_IMAGE", write_image("node-flags.img", short_disc()).c_str(), 1);
    const struct {
        int flags;
        int result;
    } rows[] = {{O_RDWR | O_NONBLOCK, 0}, {O_RDWR, -1}, {O_RDONLY | O_NONBLOCK, -1}};
    for (const auto &row : rows) {
        const int fd = open("/dev/null", row.flags);
        unsigned char cdb[12] = {0xBE, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0}, data[96];
        sg_io_hdr_t header = {};
        header.interface_id = 'S';
        header.dxfer_direction = SG_DXFER_FROM_DEV;
        header.cmdp = cdb;
        header.cmd_len = sizeof cdb;
        header.dxferp = data;
        header.dxfer_len = sizeof data;
        EXPECT_EQ(ioctl(fd, SG_IO, &header), row.result) << "flags " << row.flags;
        close(fd);
    }
    unsetenv("SGIO_CDSIM_NODE");
    unsetenv("SGIO_CDSIM_IMAGE");
}

TEST(RealDrive, FailuresAtTheDrive) {
    const std::string image = write_image("node-faults.img", short_disc());
    const process_result whole = run_qscan({"-r", "-e", "X:"}, image);
    // The ioctl failing, or the host adapter reporting a transport failure,
    // ends the scan there, as every failed read does.
    for (const std::string fault : {"3:ioctl_fails", "3:transport"}) {
        const process_result result = run_through_node({"-r", "-e", "X:"}, image, fault);
        EXPECT_EQ(result.out, first_lines(whole.out, 3)) << fault;
        EXPECT_EQ(result.exit_status, 0) << fault;
    }
    // Sense data following is no transport failure.
    EXPECT_EQ(run_through_node({"-r", "-e", "X:"}, image, "3:sense_flag").out, whole.out);

    // A transfer of nothing is a damaged frame at that sector, never the
    // sector before.
    std::vector<q_bytes> blank = short_disc();
    blank[3] = q_bytes{};
    const process_result expected = run_qscan({"-r", "-e", "X:"}, write_image("blank.img", blank));
    const process_result result = run_through_node({"-r", "-e", "X:"}, image, "3:empty");
    EXPECT_NE(result.out.find("subchannel crc error in sector 3\n"), std::string::npos);
    EXPECT_EQ(result.out, expected.out);
    EXPECT_EQ(result.exit_status, 0);
}

} // namespace
