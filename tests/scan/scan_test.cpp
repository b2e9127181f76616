// The scan loop run in this process against the simulated drive, for what an
// end-to-end run cannot reach in reasonable time.
#include "discgen.h"
#include "scan/scan.h"
#include "support/images.h"
#include "winsim/winsim_control.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

class ScanLoop : public ::testing::Test {
  protected:
    void SetUp() override {
        winsim_reset();
        setenv("CDSIM_X", "", 1);
        ASSERT_EQ(device_open("X:", &handle), 0);
        winsim_log_enable(true);
    }
    void TearDown() override {
        winsim_reset();
        unsetenv("CDSIM_X");
    }
    std::string scan(scan_options options, uint32_t first_sector) {
        testing::internal::CaptureStdout();
        EXPECT_EQ(scan_disc(handle, &options, first_sector), 0);
        return testing::internal::GetCapturedStdout();
    }
    device_handle handle = nullptr;
};

TEST_F(ScanLoop, TheSectorNumberNeverWraps) {
    // A drive that answers the last three sector numbers with a good frame.
    winsim_fault answer;
    answer.first_lba = 0xFFFFFFFD;
    answer.last_lba = 0xFFFFFFFF;
    answer.replace_data = true;
    std::memset(answer.data, 0xBF, 96); // a damaged frame: every Q bit clear
    winsim_add_fault(answer);
    winsim_fault sector_zero; // and sector 0 too, so a wrap would show
    sector_zero.first_lba = sector_zero.last_lba = 0;
    sector_zero.replace_data = true;
    winsim_add_fault(sector_zero);

    scan_options options{};
    options.opt_errors = 1;
    EXPECT_EQ(scan(options, 0xFFFFFFFD), "subchannel crc error in sector 4294967293\n"
                                         "subchannel crc error in sector 4294967294\n"
                                         "subchannel crc error in sector 4294967295\n");
    EXPECT_EQ(winsim_calls().size(), 3u);
    EXPECT_EQ(winsim_calls().back().request.Cdb[5], 0xFF);
}

TEST_F(ScanLoop, AFailedFirstReadPrintsNothing) {
    scan_options options{};
    options.opt_raw = options.opt_print = options.opt_errors = 1;
    EXPECT_EQ(scan(options, 0), "");
    EXPECT_EQ(winsim_calls().size(), 1u); // and nothing is retried
}

TEST_F(ScanLoop, RunningMinutesWrapAfter255) {
    // 256 minutes and 3 frames of frames of an unknown mode, then an ISRC.
    const uint32_t unknown_frames = 256 * 60 * 75 + 3;
    winsim_fault unknown;
    unknown.first_lba = 0;
    unknown.last_lba = unknown_frames - 1;
    unknown.replace_data = true;
    const q_bytes mode5 = q_sealed({0x05, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    const q_bytes isrc = q_recording("JPX120500001", 5);
    std::vector<discgen_frame> frames = {discgen_classify(mode5.data()),
                                         discgen_classify(isrc.data())};
    std::memcpy(unknown.data, discgen_image(frames, false, 3).data(), 96);
    winsim_add_fault(unknown);
    winsim_fault last;
    last.first_lba = last.last_lba = unknown_frames;
    last.replace_data = true;
    std::memcpy(last.data, discgen_image(frames, false, 3).data() + 96, 96);
    winsim_add_fault(last);
    winsim_log_enable(false);

    scan_options options{};
    options.opt_isrc = 1;
    EXPECT_EQ(scan(options, 0), " 1.01 00:00.05 00:02.05 : JP-X12-05-00001\n");
}

// Faults at the drive in the middle of a six-sector disc, each with the whole
// output of a scan that prints every position frame and every damaged one.
class DriveFaults : public ScanLoop {
  protected:
    void SetUp() override {
        std::vector<q_bytes> frames;
        for (int lba = 0; lba < 6; ++lba) {
            frames.push_back(q_position(1, 1, 0, 0, lba, 0, 2, lba));
        }
        image = write_image("faults.img", frames);
        winsim_reset();
        setenv("CDSIM_X", image.c_str(), 1);
    }
    std::string scan_disc_once() {
        EXPECT_EQ(device_open("X:", &handle), 0);
        scan_options options{};
        options.opt_timing = options.opt_errors = 1;
        return scan(options, 0);
    }
    // The -t lines of sectors first to last.
    static std::string positions(int first, int last) {
        std::string lines;
        for (int lba = first; lba <= last; ++lba) {
            lines +=
                " 1.01 00:00.0" + std::to_string(lba) + " 00:02.0" + std::to_string(lba) + "\n";
        }
        return lines;
    }
    std::string image;
};

TEST_F(DriveFaults, RequestFailingMidDiscEndsTheScanWithoutRetry) {
    winsim_fault fault;
    fault.first_lba = fault.last_lba = 3;
    fault.call_fails = true;
    winsim_add_fault(fault);
    winsim_log_enable(true);
    EXPECT_EQ(scan_disc_once(), positions(0, 2));
    EXPECT_EQ(winsim_calls().size(), 2u + 4u); // the open, then sectors 0 to 3 once each
}

TEST_F(DriveFaults, CheckConditionMidDiscEndsTheScan) {
    winsim_fault fault;
    fault.first_lba = fault.last_lba = 3;
    fault.scsi_status = 2;
    winsim_add_fault(fault);
    EXPECT_EQ(scan_disc_once(), positions(0, 2));
}

TEST_F(DriveFaults, StatusUncoveredByTheReturnedBytesIsNotConsulted) {
    for (int returned : {0, 1, 2}) {
        winsim_reset();
        winsim_fault fault;
        fault.first_lba = fault.last_lba = 3;
        fault.scsi_status = 2;
        fault.bytes_returned = returned;
        winsim_add_fault(fault);
        EXPECT_EQ(scan_disc_once(), positions(0, 5)) << returned << " bytes returned";
    }
}

TEST_F(DriveFaults, ShortTransferIsADamagedFrameNotTheSectorBefore) {
    winsim_fault fault;
    fault.first_lba = fault.last_lba = 3;
    fault.transfer = 40;
    winsim_add_fault(fault);
    EXPECT_EQ(scan_disc_once(),
              positions(0, 2) + "subchannel crc error in sector 3\n" + positions(4, 5));
}

TEST_F(DriveFaults, ImageCutShortAfterTheDriveOpened) {
    ASSERT_EQ(device_open("X:", &handle), 0);
    ASSERT_EQ(truncate(image.c_str(), 4 * 96 + 10), 0);
    scan_options options{};
    options.opt_timing = 1;
    EXPECT_EQ(scan(options, 0), positions(0, 3));
}

TEST_F(DriveFaults, ImageRemovedAfterTheDriveOpenedStillReads) {
    // The drive keeps the disc it was given, as an open file stays readable.
    ASSERT_EQ(device_open("X:", &handle), 0);
    ASSERT_EQ(unlink(image.c_str()), 0);
    scan_options options{};
    options.opt_timing = 1;
    EXPECT_EQ(scan(options, 0), positions(0, 5));
}

} // namespace
