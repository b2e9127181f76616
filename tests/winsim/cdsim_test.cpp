#include "support/images.h"
#include "winsim/cdsim.h"
#include "winsim/winsim_control.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <unistd.h>

namespace {

// The interleaving written out symbol by symbol: raw byte 8j+b takes bit 7-b
// of byte j of each channel, P into bit 7 down to W into bit 0.
void interleave_by_bits(const uint8_t channels[96], uint8_t raw[96]) {
    for (int symbol = 0; symbol < 96; ++symbol) {
        uint8_t byte = 0;
        for (int c = 0; c < 8; ++c) {
            const int bit = (channels[c * 12 + symbol / 8] >> (7 - symbol % 8)) & 1;
            byte = static_cast<uint8_t>(byte | bit << (7 - c));
        }
        raw[symbol] = byte;
    }
}

TEST(Cdsim, InterleavingMatchesTheSymbolBySymbolForm) {
    std::mt19937 random(99);
    uint8_t channels[96], fast[96], slow[96];
    for (int sector = 0; sector < 5000; ++sector) {
        for (uint8_t &byte : channels) {
            byte = static_cast<uint8_t>(random());
        }
        cdsim_interleave(channels, fast);
        interleave_by_bits(channels, slow);
        ASSERT_EQ(std::memcmp(fast, slow, 96), 0) << "sector " << sector;
    }
}

struct read_cd {
    uint8_t cdb[12] = {0xBE, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0};
    read_cd &lba(uint32_t value) {
        cdb[2] = static_cast<uint8_t>(value >> 24);
        cdb[3] = static_cast<uint8_t>(value >> 16);
        cdb[4] = static_cast<uint8_t>(value >> 8);
        cdb[5] = static_cast<uint8_t>(value);
        return *this;
    }
    read_cd &blocks(uint8_t count) {
        cdb[8] = count;
        return *this;
    }
    read_cd &set(int byte, uint8_t value) {
        cdb[byte] = value;
        return *this;
    }
};

class CdsimDrive : public ::testing::Test {
  protected:
    void SetUp() override {
        // Three whole sectors and a partial fourth, sector n filled with n+1.
        std::vector<uint8_t> bytes(3 * 96 + 50);
        for (size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = static_cast<uint8_t>(i / 96 + 1);
        }
        ASSERT_EQ(cdsim_insert(&drive, write_file("cdsim.img", bytes).c_str()), 0);
    }
    void TearDown() override { cdsim_eject(&drive); }
    uint8_t execute(const read_cd &command, uint32_t buffer_size = sizeof data) {
        return cdsim_execute(&drive, command.cdb, 12, data, buffer_size, &transferred);
    }

    static cdsim_drive drive;
    uint8_t data[4 * 96] = {};
    uint32_t transferred = 0;
};

cdsim_drive CdsimDrive::drive;

TEST_F(CdsimDrive, ServesWholeSectorsOnly) {
    EXPECT_EQ(execute(read_cd().lba(2)), CDSIM_GOOD);
    EXPECT_EQ(transferred, 96u);
    EXPECT_EQ(data[0], 3);
    EXPECT_EQ(data[95], 3);
    EXPECT_EQ(execute(read_cd().lba(3)), CDSIM_CHECK_CONDITION); // the partial sector
    EXPECT_EQ(transferred, 0u);
    EXPECT_EQ(execute(read_cd().lba(0xFFFFFFFF)), CDSIM_CHECK_CONDITION);
}

TEST_F(CdsimDrive, HonoursTheTransferLength) {
    EXPECT_EQ(execute(read_cd().lba(1).blocks(2)), CDSIM_GOOD);
    EXPECT_EQ(transferred, 192u);
    EXPECT_EQ(data[0], 2);
    EXPECT_EQ(data[191], 3);
    EXPECT_EQ(execute(read_cd().lba(1).blocks(3)), CDSIM_CHECK_CONDITION);      // runs off the end
    EXPECT_EQ(execute(read_cd().lba(0).blocks(2), 100), CDSIM_CHECK_CONDITION); // buffer too small
    EXPECT_EQ(execute(read_cd().lba(0).blocks(0)), CDSIM_GOOD);
    EXPECT_EQ(transferred, 0u);
}

TEST_F(CdsimDrive, RefusesWhatItCannotServe) {
    EXPECT_EQ(execute(read_cd().set(0, 0x28)), CDSIM_CHECK_CONDITION);   // READ(10)
    EXPECT_EQ(execute(read_cd().set(9, 0x10)), CDSIM_CHECK_CONDITION);   // user data
    EXPECT_EQ(execute(read_cd().set(9, 0xF8)), CDSIM_CHECK_CONDITION);   // everything
    EXPECT_EQ(execute(read_cd().set(10, 0x02)), CDSIM_CHECK_CONDITION);  // formatted Q
    EXPECT_EQ(execute(read_cd().set(10, 0x04)), CDSIM_CHECK_CONDITION);  // corrected R-W
    EXPECT_EQ(execute(read_cd().set(1, 2 << 2)), CDSIM_CHECK_CONDITION); // Mode 1 sectors
    EXPECT_EQ(execute(read_cd().set(1, 1 << 2)), CDSIM_GOOD);            // CD-DA sectors
    EXPECT_EQ(cdsim_execute(&drive, read_cd().cdb, 10, data, 96, &transferred),
              CDSIM_CHECK_CONDITION);
}

TEST_F(CdsimDrive, AnImageThatShrinksAfterInsertionIsAReadError) {
    const std::string path = write_file("shrinking.img", std::vector<uint8_t>(2000 * 96, 0x40));
    cdsim_eject(&drive);
    ASSERT_EQ(cdsim_insert(&drive, path.c_str()), 0);
    ASSERT_EQ(truncate(path.c_str(), 1000 * 96), 0);
    EXPECT_EQ(execute(read_cd().lba(999)), CDSIM_GOOD);
    EXPECT_EQ(execute(read_cd().lba(1000)), CDSIM_CHECK_CONDITION);
    EXPECT_EQ(execute(read_cd().lba(1999)), CDSIM_CHECK_CONDITION);
}

TEST(Cdsim, EmptyDriveAndUnreadableImages) {
    cdsim_drive drive;
    uint8_t data[96];
    uint32_t transferred = 0;
    ASSERT_EQ(cdsim_insert(&drive, ""), 0);
    EXPECT_EQ(cdsim_execute(&drive, read_cd().cdb, 12, data, 96, &transferred),
              CDSIM_CHECK_CONDITION);
    EXPECT_NE(cdsim_insert(&drive, scratch_path("").c_str()), 0);
    EXPECT_NE(cdsim_insert(&drive, scratch_path("missing.img").c_str()), 0);
    const std::string empty = write_file("empty.img", {});
    ASSERT_EQ(cdsim_insert(&drive, empty.c_str()), 0);
    EXPECT_EQ(cdsim_execute(&drive, read_cd().cdb, 12, data, 96, &transferred),
              CDSIM_CHECK_CONDITION);
    cdsim_eject(&drive);
}

// A READ CD of one block of raw P-W into data, as the tool sends it.
SCSI_PASS_THROUGH_DIRECT read_request(uint8_t data[96]) {
    SCSI_PASS_THROUGH_DIRECT request{};
    request.Length = sizeof request;
    request.CdbLength = 12;
    request.DataIn = SCSI_IOCTL_DATA_IN;
    request.DataTransferLength = 96;
    request.DataBuffer = data;
    std::memcpy(request.Cdb, read_cd().cdb, 12);
    return request;
}

TEST(Winsim, DeviceIoControlRejectsMalformedRequests) {
    winsim_reset();
    setenv("CDSIM_X", "", 1);
    HANDLE drive =
        CreateFileA("\\\\.\\X:", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(drive, INVALID_HANDLE_VALUE);
    uint8_t data[96];
    const SCSI_PASS_THROUGH_DIRECT request = read_request(data);
    DWORD returned = 0;
    auto send = [&](HANDLE handle, DWORD code, SCSI_PASS_THROUGH_DIRECT r) {
        return DeviceIoControl(handle, code, &r, sizeof r, &r, sizeof r, &returned, nullptr);
    };
    EXPECT_EQ(send(drive, IOCTL_SCSI_PASS_THROUGH_DIRECT, request), TRUE);
    EXPECT_EQ(returned, sizeof request);
    EXPECT_EQ(send(drive, 0x4D004, request), FALSE); // plain SCSI_PASS_THROUGH
    EXPECT_EQ(send(nullptr, IOCTL_SCSI_PASS_THROUGH_DIRECT, request), FALSE);
    SCSI_PASS_THROUGH_DIRECT wrong = request;
    wrong.Length = 44 + 8;
    if (sizeof request == wrong.Length) {
        wrong.Length = 44;
    }
    EXPECT_EQ(send(drive, IOCTL_SCSI_PASS_THROUGH_DIRECT, wrong), FALSE);
    wrong = request;
    wrong.DataIn = SCSI_IOCTL_DATA_OUT;
    EXPECT_EQ(send(drive, IOCTL_SCSI_PASS_THROUGH_DIRECT, wrong), FALSE);
    wrong = request;
    wrong.DataBuffer = nullptr;
    EXPECT_EQ(send(drive, IOCTL_SCSI_PASS_THROUGH_DIRECT, wrong), FALSE);
    EXPECT_EQ(CreateFileA("\\\\.\\X:", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr),
              INVALID_HANDLE_VALUE); // pass-through needs write access too
    EXPECT_EQ(GetDriveTypeA("X:\\"), DRIVE_CDROM);
    EXPECT_EQ(GetDriveTypeA("x:\\"), DRIVE_CDROM);
    winsim_reset();
    unsetenv("CDSIM_X");
}

// Each name copied to a heap block of its own length, so that AddressSanitizer
// sees a read past its end.
TEST(Winsim, MalformedPathsAreAnsweredWithoutReadingPastThem) {
    setenv("CDSIM_X", "", 1);
    for (const std::string name : {"", "X", "X:", "\\\\.\\", "\\\\.\\X"}) {
        const std::unique_ptr<char[]> exact(new char[name.size() + 1]);
        std::memcpy(exact.get(), name.c_str(), name.size() + 1);
        EXPECT_EQ(GetDriveTypeA(exact.get()), DRIVE_NO_ROOT_DIR) << "'" << name << "'";
        EXPECT_EQ(CreateFileA(exact.get(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr),
                  INVALID_HANDLE_VALUE)
            << "'" << name << "'";
    }
    unsetenv("CDSIM_X");
}

// As Windows does: the answer lands in the output record, the input stays as sent.
TEST(Winsim, DeviceIoControlAnswersInTheOutputRecord) {
    winsim_reset();
    setenv("CDSIM_X", "", 1); // no disc: CHECK CONDITION, nothing transferred
    HANDLE drive =
        CreateFileA("\\\\.\\X:", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    uint8_t data[96];
    SCSI_PASS_THROUGH_DIRECT in = read_request(data), out{};
    const SCSI_PASS_THROUGH_DIRECT sent = in;
    DWORD returned = 0;
    ASSERT_TRUE(DeviceIoControl(drive, IOCTL_SCSI_PASS_THROUGH_DIRECT, &in, sizeof in, &out,
                                sizeof out, &returned, nullptr));
    EXPECT_EQ(std::memcmp(&in, &sent, sizeof in), 0);
    EXPECT_EQ(out.ScsiStatus, CDSIM_CHECK_CONDITION);
    EXPECT_EQ(out.DataTransferLength, 0u);
    EXPECT_EQ(out.DataBuffer, data);
    EXPECT_EQ(std::memcmp(out.Cdb, sent.Cdb, sizeof out.Cdb), 0);
    winsim_reset();
    unsetenv("CDSIM_X");
}

} // namespace
