#include "device/device.h"
#include "subchannel/subchannel.h"
#include "support/images.h"
#include "winsim/winsim_control.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

class Device : public ::testing::Test {
  protected:
    void SetUp() override {
        winsim_reset();
        image = write_image("device.img",
                            {q_position(1, 1, 0, 0, 0, 0, 2, 0), q_position(1, 1, 0, 0, 1, 0, 2, 1),
                             q_position(1, 1, 0, 0, 2, 0, 2, 2)});
        setenv("CDSIM_X", image.c_str(), 1);
        winsim_log_enable(true);
    }
    void TearDown() override {
        winsim_reset();
        unsetenv("CDSIM_X");
        unsetenv("CDSIM_C");
        unsetenv("SGIO_CDSIM_NODE");
        unsetenv("SGIO_CDSIM_IMAGE");
        unsetenv("SGIO_CDSIM_FAULT"); // even when an assertion ended the test early
    }
    device_handle open_x() {
        device_handle handle = nullptr;
        EXPECT_EQ(device_open("X:", &handle), 0);
        return handle;
    }
    const winsim_call &last_call() { return winsim_calls().back(); }

    std::string image;
};

TEST_F(Device, MalformedNamesNeverReachTheSystem) {
    for (const char *name : {"X", "X:\\", "", "XY", "X:Y", ":"}) {
        device_handle handle = nullptr;
        EXPECT_EQ(device_open(name, &handle), EINVAL) << "'" << name << "'";
    }
    EXPECT_TRUE(winsim_calls().empty());
}

TEST_F(Device, OnlyACdRomDriveIsOpened) {
    setenv("CDSIM_C", image.c_str(), 1);
    for (UINT type : {DRIVE_FIXED, DRIVE_REMOTE, DRIVE_REMOVABLE, DRIVE_UNKNOWN}) {
        winsim_set_drive_type('C', type);
        device_handle handle = nullptr;
        EXPECT_EQ(device_open("C:", &handle), EINVAL) << "drive type " << type;
    }
    device_handle handle = nullptr;
    EXPECT_EQ(device_open("Q:", &handle), EINVAL); // no drive at all
    for (const winsim_call &call : winsim_calls()) {
        EXPECT_EQ(call.function, winsim_function::get_drive_type);
    }
    EXPECT_EQ(winsim_calls().size(), 5u);
    EXPECT_EQ(last_call().path, "Q:\\");
}

TEST_F(Device, OpensTheRawDeviceWithTheParametersPassThroughNeeds) {
    device_handle handle = open_x();
    EXPECT_NE(handle, nullptr);
    ASSERT_EQ(winsim_calls().size(), 2u);
    const winsim_call &type = winsim_calls()[0];
    EXPECT_EQ(type.function, winsim_function::get_drive_type);
    EXPECT_EQ(type.path, "X:\\");
    const winsim_call &create = winsim_calls()[1];
    EXPECT_EQ(create.function, winsim_function::create_file);
    EXPECT_EQ(create.path, "\\\\.\\X:");
    EXPECT_EQ(create.desired_access, GENERIC_READ | GENERIC_WRITE);
    EXPECT_EQ(create.share_mode, FILE_SHARE_READ | FILE_SHARE_WRITE);
    EXPECT_FALSE(create.security_attributes);
    EXPECT_EQ(create.creation_disposition, OPEN_EXISTING);
    EXPECT_EQ(create.flags_and_attributes, FILE_ATTRIBUTE_NORMAL);
    EXPECT_FALSE(create.template_file);
}

TEST_F(Device, ALowerCaseLetterIsPassedOnUnchanged) {
    device_handle handle = nullptr;
    EXPECT_EQ(device_open("x:", &handle), 0);
    ASSERT_EQ(winsim_calls().size(), 2u);
    EXPECT_EQ(winsim_calls()[0].path, "x:\\");
    EXPECT_EQ(winsim_calls()[1].path, "\\\\.\\x:");
}

TEST_F(Device, AnImageThatCannotBeOpenedFailsTheOpen) {
    setenv("CDSIM_X", scratch_path("no-such-image.img").c_str(), 1);
    device_handle handle = nullptr;
    EXPECT_EQ(device_open("X:", &handle), EINVAL);
    EXPECT_EQ(last_call().function, winsim_function::create_file);
    setenv("CDSIM_X", scratch_path("").c_str(), 1); // a directory is no drive at all
    EXPECT_EQ(device_open("X:", &handle), EINVAL);
    EXPECT_EQ(last_call().function, winsim_function::get_drive_type);
    EXPECT_EQ(GetDriveTypeA("X:\\"), DRIVE_UNKNOWN);
}

TEST_F(Device, ReadCdRequestForOneBlockOfRawSubchannel) {
    device_handle handle = open_x();
    uint8_t raw[96];
    winsim_fault answer; // LBA 300 lies past the image: answer it anyway
    answer.first_lba = answer.last_lba = 300;
    answer.replace_data = true;
    winsim_add_fault(answer);
    EXPECT_EQ(device_read_subchannel(handle, 300, raw), 0);

    const winsim_call &call = last_call();
    EXPECT_EQ(call.function, winsim_function::device_io_control);
    EXPECT_EQ(call.handle, handle);
    EXPECT_EQ(call.io_control_code, 0x4D014u);
    EXPECT_TRUE(call.in_is_out);
    EXPECT_EQ(call.in_buffer_size, sizeof(SCSI_PASS_THROUGH_DIRECT));
    EXPECT_EQ(call.out_buffer_size, sizeof(SCSI_PASS_THROUGH_DIRECT));
    EXPECT_TRUE(call.bytes_returned_counter);
    EXPECT_FALSE(call.overlapped);

    const SCSI_PASS_THROUGH_DIRECT &request = call.request;
    EXPECT_EQ(request.Length, sizeof(SCSI_PASS_THROUGH_DIRECT));
    EXPECT_EQ(request.PathId, 0);
    EXPECT_EQ(request.TargetId, 0);
    EXPECT_EQ(request.Lun, 0);
    EXPECT_EQ(request.CdbLength, 12);
    EXPECT_EQ(request.SenseInfoLength, 0);
    EXPECT_EQ(request.DataIn, SCSI_IOCTL_DATA_IN);
    EXPECT_EQ(request.DataTransferLength, 96u);
    EXPECT_EQ(request.TimeOutValue, 60u);
    EXPECT_EQ(request.DataBuffer, raw);
    EXPECT_EQ(request.SenseInfoOffset, 0u);
    const uint8_t cdb[16] = {0xBE, 0x00, 0x00, 0x00, 0x01, 0x2C, 0x00, 0x00,
                             0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(std::memcmp(request.Cdb, cdb, 16), 0);
}

TEST_F(Device, LbaBytesAreMostSignificantFirst) {
    device_handle handle = open_x();
    uint8_t raw[96];
    EXPECT_EQ(device_read_subchannel(handle, 0x12345678, raw), EIO);
    const uint8_t *cdb = last_call().request.Cdb;
    EXPECT_EQ(cdb[2], 0x12);
    EXPECT_EQ(cdb[3], 0x34);
    EXPECT_EQ(cdb[4], 0x56);
    EXPECT_EQ(cdb[5], 0x78);
}

TEST_F(Device, ReadsTheSectorsOfTheDiscAndRefusesPastItsEnd) {
    for (const char *name : {"device.img", "device.sub"}) {
        setenv("CDSIM_X",
               write_image(name,
                           {q_position(1, 1, 0, 0, 0, 0, 2, 0), q_position(7, 3, 0, 0, 1, 0, 2, 1)})
                   .c_str(),
               1);
        device_handle handle = open_x();
        uint8_t raw[96];
        uint8_t q[12];
        subq frame;
        ASSERT_EQ(device_read_subchannel(handle, 1, raw), 0) << name;
        subchannel_extract_q(raw, q);
        ASSERT_EQ(subchannel_decode_q(q, &frame), 0) << name;
        EXPECT_EQ(frame.position.track, 7) << name;
        EXPECT_EQ(frame.position.index, 3) << name;
        EXPECT_EQ(device_read_subchannel(handle, 2, raw), EIO) << name;
    }
}

TEST_F(Device, StatusByteCountsOnlyWhenTheReturnedBytesCoverIt) {
    struct row {
        int bytes_returned;
        int scsi_status;
        int expected;
    };
    const row rows[] = {
        {0, 2, 0}, {1, 2, 0}, {2, 2, 0}, {3, 2, EIO}, {-1, 2, EIO}, {-1, 0, 0}, {2, 0, 0},
    };
    for (const row &r : rows) {
        winsim_reset();
        device_handle handle = open_x();
        winsim_fault fault;
        fault.bytes_returned = r.bytes_returned;
        fault.scsi_status = r.scsi_status;
        winsim_add_fault(fault);
        uint8_t raw[96];
        EXPECT_EQ(device_read_subchannel(handle, 0, raw), r.expected)
            << "returned " << r.bytes_returned << ", status " << r.scsi_status;
    }
}

TEST_F(Device, AFailedRequestIsAnIoError) {
    device_handle handle = open_x();
    winsim_fault fault;
    fault.call_fails = true;
    winsim_add_fault(fault);
    uint8_t raw[96];
    EXPECT_EQ(device_read_subchannel(handle, 0, raw), EIO);
}

TEST_F(Device, ADriveWithoutADiscRefusesEveryRead) {
    setenv("CDSIM_X", "", 1);
    device_handle handle = open_x();
    uint8_t raw[96];
    EXPECT_EQ(device_read_subchannel(handle, 0, raw), EIO);
}

TEST_F(Device, AShortTransferLeavesNoStaleBytes) {
    device_handle handle = open_x();
    uint8_t raw[96];
    ASSERT_EQ(device_read_subchannel(handle, 0, raw), 0);
    winsim_fault fault;
    fault.first_lba = fault.last_lba = 1;
    fault.transfer = 10;
    winsim_add_fault(fault);
    ASSERT_EQ(device_read_subchannel(handle, 1, raw), 0);
    for (int i = 10; i < 96; ++i) {
        ASSERT_EQ(raw[i], 0) << "byte " << i;
    }
}

// Drive X: as a real drive: /dev/null, played from the image by the answerer
// linked into this test binary. Log and faults work as for the image drive.
TEST_F(Device, ARealDriveKeepsTheLogAndTheFaults) {
    setenv("CDSIM_X", "/dev/null", 1);
    setenv("SGIO_CDSIM_NODE", "/dev/null", 1);
    setenv("SGIO_CDSIM_IMAGE", image.c_str(), 1);
    device_handle handle = open_x();
    winsim_fault short_transfer;
    short_transfer.first_lba = short_transfer.last_lba = 1;
    short_transfer.transfer = 10;
    winsim_add_fault(short_transfer);
    winsim_fault failure;
    failure.first_lba = failure.last_lba = 2;
    failure.call_fails = true;
    winsim_add_fault(failure);

    uint8_t raw[96], q[12];
    subq frame;
    ASSERT_EQ(device_read_subchannel(handle, 0, raw), 0);
    subchannel_extract_q(raw, q);
    ASSERT_EQ(subchannel_decode_q(q, &frame), 0);
    EXPECT_EQ(frame.position.abs.s, 2);
    ASSERT_EQ(device_read_subchannel(handle, 1, raw), 0);
    for (int i = 10; i < 96; ++i) {
        ASSERT_EQ(raw[i], 0) << "byte " << i;
    }
    EXPECT_EQ(device_read_subchannel(handle, 2, raw), EIO);
    EXPECT_EQ(device_read_subchannel(handle, 3, raw), EIO); // past the end

    ASSERT_EQ(winsim_calls().size(), 6u);
    EXPECT_EQ(last_call().function, winsim_function::device_io_control);
    EXPECT_EQ(last_call().request.Cdb[5], 3);
    EXPECT_EQ(last_call().request.DataBuffer, raw);
}

// What comes back in the record from a real drive: the status byte, the
// length less what the drive left untransferred, the record's own size.
TEST_F(Device, ARealDriveAnswersThroughTheRecord) {
    setenv("CDSIM_X", "/dev/null", 1);
    setenv("SGIO_CDSIM_NODE", "/dev/null", 1);
    setenv("SGIO_CDSIM_IMAGE", image.c_str(), 1);
    setenv("SGIO_CDSIM_FAULT", "1:empty", 1);
    device_handle handle = open_x();
    struct row {
        uint8_t lba;
        UCHAR status;
        ULONG transferred;
    };
    for (const row &r : {row{0, 0, 96}, row{1, 0, 0}, row{3, 2, 0}}) {
        uint8_t raw[96];
        SCSI_PASS_THROUGH_DIRECT request{};
        request.Length = sizeof request;
        request.CdbLength = 12;
        request.DataIn = SCSI_IOCTL_DATA_IN;
        request.DataTransferLength = sizeof raw;
        request.TimeOutValue = 60;
        request.DataBuffer = raw;
        const UCHAR cdb[12] = {0xBE, 0, 0, 0, 0, r.lba, 0, 0, 1, 0, 1, 0};
        std::memcpy(request.Cdb, cdb, sizeof cdb);
        DWORD returned = 0;
        ASSERT_TRUE(DeviceIoControl(handle, IOCTL_SCSI_PASS_THROUGH_DIRECT, &request,
                                    sizeof request, &request, sizeof request, &returned, nullptr))
            << "LBA " << int(r.lba);
        EXPECT_EQ(request.ScsiStatus, r.status) << "LBA " << int(r.lba);
        EXPECT_EQ(request.DataTransferLength, r.transferred) << "LBA " << int(r.lba);
        EXPECT_EQ(returned, sizeof request) << "LBA " << int(r.lba);
    }
}

} // namespace
