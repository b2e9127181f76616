// The built qscan run as a user runs it, on images in the simulated drive X:,
// comparing everything it prints and its exit status.
#include "discgen.h"
#include "support/images.h"
#include "support/process.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const std::string usage =
    std::string("Usage: ") + QSCAN_EXE + " [-r] [-p] [-t] [-c] [-i] [-e]  device\n";

TEST(EndToEnd, UsageErrors) {
    const std::string image = write_image("usage.img", {q_position(1, 1, 0, 0, 0, 0, 2, 0)});
    const std::vector<std::vector<std::string>> command_lines = {
        {}, {"-x", "X:"}, {"-R", "X:"}, {"-", "X:"}, {"X:", "-r"}, {"X:", "Y:"}, {"-r"},
    };
    for (const auto &args : command_lines) {
        const process_result result = run_qscan(args, image);
        std::string shown;
        for (const std::string &arg : args) {
            shown += " '" + arg + "'";
        }
        EXPECT_EQ(result.out, usage) << shown;
        EXPECT_EQ(result.err, "") << shown;
        EXPECT_EQ(result.exit_status, 1) << shown;
    }
}

TEST(EndToEnd, OpenFailures) {
    const std::string image = write_image("open.img", {q_position(1, 1, 0, 0, 0, 0, 2, 0)});
    for (const std::string name : {"", "Q:", "X", "X:\\", "\\\\.\\X:"}) {
        const process_result result = run_qscan({"-r", name}, image);
        EXPECT_EQ(result.out, "") << "'" << name << "'";
        EXPECT_EQ(result.err, "failed to open device: Invalid argument\n") << "'" << name << "'";
        EXPECT_EQ(result.exit_status, 1) << "'" << name << "'";
    }
    // Paths that hold no image. A FIFO is never opened: that would wait for
    // a writer for good.
    const std::string fifo = scratch_path("drive.fifo"), socket_path = scratch_path("drive.sock");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socket_path.c_str());
    const int listening = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(bind(listening, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    for (const std::string &path : {scratch_path("missing.sub"), fifo, socket_path}) {
        const process_result result =
            run_process(QSCAN_EXE, {QSCAN_EXE, "X:"}, {{"CDSIM_X", path}}, 5);
        EXPECT_EQ(result.err, "failed to open device: Invalid argument\n") << path;
        EXPECT_EQ(result.exit_status, 1) << path;
    }
    close(listening);
}

TEST(TestSupport, AChildThatHangsIsKilledAndFailsTheTest) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_NONFATAL_FAILURE(run_process("/bin/sleep", {"/bin/sleep", "30"}, {}, 0.2),
                            "killed after 0.2 s: /bin/sleep 30");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(EndToEnd, DrivesThatRefuseTheFirstSector) {
    const std::string empty_image = write_file("zero-length.img", {});
    const std::string partial = write_file("partial.img", std::vector<uint8_t>(95, 0x40));
    for (const std::string &image : {std::string(""), empty_image, partial}) {
        const process_result result = run_qscan({"-r", "-p", "-t", "-c", "-i", "-e", "X:"}, image);
        EXPECT_EQ(result.out, "") << image;
        EXPECT_EQ(result.err, "") << image;
        EXPECT_EQ(result.exit_status, 0) << image;
    }
}

TEST(EndToEnd, ImagesOfOddShapes) {
    // A directory cannot be opened as an image.
    const process_result folder = run_qscan({"X:"}, scratch_path(""));
    EXPECT_EQ(folder.out, "");
    EXPECT_EQ(folder.err, "failed to open device: Invalid argument\n");
    EXPECT_EQ(folder.exit_status, 1);

    // A trailing partial sector is not part of the disc.
    std::vector<uint8_t> bytes =
        discgen_image({discgen_classify(q_position(1, 1, 0, 0, 0, 0, 2, 0).data()),
                       discgen_classify(q_position(1, 1, 0, 0, 1, 0, 2, 1).data())},
                      false, 1);
    bytes.resize(bytes.size() + 50, 0x40);
    const process_result partial = run_qscan({"-t", "-e", "X:"}, write_file("ragged.img", bytes));
    EXPECT_EQ(partial.out, " 1.01 00:00.00 00:02.00\n 1.01 00:00.01 00:02.01\n");
    EXPECT_EQ(partial.exit_status, 0);
}

TEST(EndToEnd, RawAndFrameLinesOfTheFirstSector) {
    const q_bytes first = q_from_hex("01 01 01 00 00 00 00 00 02 00 5A 28");
    for (const char *name : {"first.img", "first.sub"}) {
        const std::string image = write_image(name, {first});
        EXPECT_EQ(run_qscan({"-r", "-p", "X:"}, image).out, "01 01 01 00 00 00 00 00 02 00 5a 28 \n"
                                                            "1  1.01 00:00.00 00:02.00\n")
            << name;
        EXPECT_EQ(run_qscan({"-t", "X:"}, image).out, " 1.01 00:00.00 00:02.00\n") << name;
    }
}

// After a position frame in track 2, a damaged frame and then an ISRC.
std::vector<q_bytes> worked_example(int isrc_abs_f) {
    q_bytes damaged = q_position(2, 1, 0, 10, 71, 3, 0, 71);
    damaged[11] ^= 0x01;
    return {q_position(2, 1, 0, 10, 70, 3, 0, 70), damaged,
            q_recording("GBAYE6900123", isrc_abs_f)};
}

TEST(EndToEnd, PositionOfAnIsrcAfterALostFrame) {
    const std::string later = write_image("worked73.sub", worked_example(73));
    EXPECT_EQ(run_qscan({"X:"}, later).out, " 2.01 00:10.73 03:00.73 : GB-AYE-69-00123\n");
    const std::string wrapped = write_image("worked1.sub", worked_example(1));
    EXPECT_EQ(run_qscan({"-i", "X:"}, wrapped).out, " 2.01 00:11.01 03:01.01 : GB-AYE-69-00123\n");

    const std::vector<q_bytes> frames = worked_example(1);
    const process_result all = run_qscan({"-r", "-p", "-t", "-c", "-i", "-e", "X:"}, wrapped);
    EXPECT_EQ(all.out, raw_line(frames[0]) +
                           "1  2.01 00:10.70 03:00.70\n"
                           " 2.01 00:10.70 03:00.70\n" +
                           raw_line(frames[1]) + "subchannel crc error in sector 1\n" +
                           raw_line(frames[2]) +
                           "3 GB-AYE-69-00123 1\n"
                           " 2.01 00:11.01 03:01.01 : GB-AYE-69-00123\n");
    EXPECT_EQ(all.err, "");
    EXPECT_EQ(all.exit_status, 0);
}

TEST(EndToEnd, FramesBeforeTheFirstPositionFrameStartAtLba0) {
    q_bytes damaged = q_position(1, 1, 0, 0, 0, 0, 2, 0);
    damaged[0] ^= 0x80;
    const std::string image = write_image("early.img", {damaged, q_catalog("0724384960650", 3),
                                                        q_recording("USRC17607839", 3),
                                                        q_position(1, 1, 0, 0, 3, 0, 2, 3)});
    EXPECT_EQ(run_qscan({"-c", "-i", "-e", "X:"}, image).out,
              "subchannel crc error in sector 0\n"
              " 1.01 00:00.03 00:02.03 : 0724384960650\n"
              " 1.01 00:00.03 00:02.03 : US-RC1-76-07839\n");
}

TEST(EndToEnd, UnknownModesDataErrorsAndOddPositions) {
    const std::vector<q_bytes> frames = {
        q_position(110, 1, 99, 59, 74, 99, 59, 74),                    // lead-out, last frame
        q_sealed({0x00, 1, 2, 3, 4, 5, 6, 7, 8, 9}),                   // mode 0
        q_sealed({0x25, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0x99}), // mode 5, copy permitted
        q_sealed({0x01, 0x01, 0x01, 0x00, 0x60, 0x00, 0, 0, 0x02, 0}), // second 60
        q_recording("NLA5Z0000001", 3),
        q_catalog("0000000000000", 74),
    };
    const std::string image = write_image("odd.sub", frames);
    EXPECT_EQ(run_qscan({"-p", "-t", "-e", "-i", "-c", "X:"}, image).out,
              "1 110.01 99:59.74 99:59.74\n"
              "110.01 99:59.74 99:59.74\n"
              "0 unknown mode\n"
              "5 unknown mode\n"
              "subchannel data error in sector 3\n"
              "3 NL-A5Z-00-00001 3\n"
              "110.01 100:00.03 100:00.03 : NL-A5Z-00-00001\n"
              "2 0000000000000 74\n"
              "110.01 100:00.74 100:00.74 : 0000000000000\n");
}

TEST(EndToEnd, RunningRelativeTimeCountsUpInAPause) {
    // The disc counts down before track 2; lost frames and a catalog frame
    // are placed by counting up from the last position frame.
    q_bytes damaged = q_position(2, 0, 0, 1, 0, 0, 40, 11);
    damaged[3] ^= 0x10;
    const std::string image = write_image("pause.sub", {q_position(2, 0, 0, 1, 2, 0, 40, 9),
                                                        q_position(2, 0, 0, 1, 1, 0, 40, 10),
                                                        damaged, q_catalog("4006381333931", 13),
                                                        q_position(2, 0, 0, 0, 72, 0, 40, 14)});
    EXPECT_EQ(run_qscan({"-t", "-c", "X:"}, image).out, " 2.00 00:01.02 00:40.09\n"
                                                        " 2.00 00:01.01 00:40.10\n"
                                                        " 2.00 00:01.04 00:40.13 : 4006381333931\n"
                                                        " 2.00 00:00.72 00:40.14\n");
}

// Whole discs from descriptions: what qscan prints must be what the
// generator, which knows every frame it wrote, says a scan prints.
void expect_scan_matches_generator(const std::string &description_text, const std::string &name) {
    discgen_description description;
    ASSERT_EQ(discgen_parse(description_text, &description), "");
    const std::vector<discgen_frame> frames = discgen_frames(description);
    for (const bool deinterleaved : {false, true}) {
        const std::string image =
            write_file(name + (deinterleaved ? ".sub" : ".img"),
                       discgen_image(frames, deinterleaved, description.seed));
        for (const std::string options : {"", "i", "c", "t", "ci", "e", "p", "rptcie"}) {
            std::vector<std::string> args;
            for (char letter : options) {
                args.push_back(std::string("-") + letter);
            }
            args.push_back("X:");
            const process_result result = run_qscan(args, image);
            const std::string expected = discgen_expected_report(frames, options);
            EXPECT_EQ(result.out, expected)
                << name << " -" << options << (deinterleaved ? " sub" : "");
            EXPECT_EQ(result.err, "");
            EXPECT_EQ(result.exit_status, 0);
        }
    }
}

TEST(EndToEnd, BundledSampleDisc) {
    expect_scan_matches_generator(read_text(QSCAN_SAMPLES "/sample.disc"), "sample");
}

TEST(EndToEnd, DamagedDiscWithPauses) {
    expect_scan_matches_generator(R"(
        control 2
        mcn 4006381333931
        mcn_every 53
        isrc_every 61
        damage 0.03
        seed 77
        track FRZ039800212 pregap 0:01.00 length 0:08.00
        track -            pregap 0:03.00 length 0:04.00
        track DEA123456789 pregap 0:02.00 length 0:06.00
        leadout 0:01.00
        at 5 mode 0
        at 6 mode 9
        at 7 data_error
        at 8 isrc
        at 300 mcn
        at 301 crc_error
        at 302 crc_error
        at 303 isrc
    )",
                                  "damaged");
}

// Lines that cannot be written are a failed scan, said on standard error;
// a scan that has nothing to print has written all it had.
TEST(EndToEnd, AWriteThatFails) {
    const std::string sample = sample_disc_images("full", "").front();
    discgen_description clean;
    ASSERT_EQ(discgen_parse("track - length 0:02.00\n", &clean), "");
    const std::string undamaged =
        write_file("undamaged.sub", discgen_image(discgen_frames(clean), true, 1));
    const struct {
        const char *name, *options;
        std::string image;
        int status;
        std::string err;
    } rows[] = {
        {"raw lines to a full disk", "-r", sample, 2,
         "qscan: write error: No space left on device\n"},
        {"ISRC lines to a full disk", "-i", sample, 2,
         "qscan: write error: No space left on device\n"},
        {"no damaged frame to print", "-e", undamaged, 0, ""},
    };
    for (const auto &row : rows) {
        const process_result r =
            run_process("/bin/sh", {"sh", "-c", "\"$0\" $1 X: > /dev/full", QSCAN_EXE, row.options},
                        {{"CDSIM_X", row.image}});
        EXPECT_EQ(r.exit_status, row.status) << row.name;
        EXPECT_EQ(r.err, row.err) << row.name;
    }
}

// Standard error carries only the open failure, on a terminal too: a scan
// is watched through qscan-report's status line instead.
TEST(EndToEnd, NothingOnATerminalsStandardError) {
    const std::string sample = sample_disc_images("terminal", "").front();
    const std::string kept = scratch_path("terminal.txt");
    const process_result r = run_process(
        "/usr/bin/script",
        {"script", "-qec", "CDSIM_X='" + sample + "' '" QSCAN_EXE "' -r X: > '" + kept + "'",
         "/dev/null"});
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(read_text(kept), run_qscan({"-r", "X:"}, sample).out);
}

} // namespace
