#include "device/device.h"

#ifdef _WIN32
#include <windows.h>
// windows.h first: ntddscsi.h builds on its types.
#include <ntddscsi.h>
#else
#include "winsim/winsim.h"
#endif

#include <cerrno>
#include <cstddef>
#include <cstring>

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(SCSI_PASS_THROUGH_DIRECT) == 44, "32-bit pass-through record");
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, DataBuffer) == 20, "32-bit pass-through record");
#endif

namespace {

constexpr UCHAR READ_CD = 0xBE;
constexpr UCHAR READ_CD_CDB_LENGTH = 12;
constexpr UCHAR SUBCHANNEL_RAW_PW = 0x01;
constexpr ULONG TIME_OUT_SECONDS = 60;

} // namespace

int device_open(const char *name, device_handle *handle) {
    if (name == nullptr || name[0] == '\0' || name[1] != ':' || name[2] != '\0') {
        return EINVAL;
    }
    const char root[] = {name[0], ':', '\\', '\0'};
    if (GetDriveTypeA(root) != DRIVE_CDROM) {
        return EINVAL;
    }
    const char device_path[] = {'\\', '\\', '.', '\\', name[0], ':', '\0'};
    HANDLE drive =
        CreateFileA(device_path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (drive == INVALID_HANDLE_VALUE) {
        return EINVAL;
    }
    *handle = drive;
    return 0;
}

int device_read_subchannel(device_handle handle, uint32_t lba, uint8_t raw[DEVICE_RAW_BLOCK_SIZE]) {
    std::memset(raw, 0, DEVICE_RAW_BLOCK_SIZE);

    SCSI_PASS_THROUGH_DIRECT request;
    std::memset(&request, 0, sizeof request);
    request.Length = sizeof request;
    request.CdbLength = READ_CD_CDB_LENGTH;
    request.DataIn = SCSI_IOCTL_DATA_IN;
    request.DataTransferLength = DEVICE_RAW_BLOCK_SIZE;
    request.TimeOutValue = TIME_OUT_SECONDS;
    request.DataBuffer = raw;
    request.Cdb[0] = READ_CD;
    request.Cdb[2] = static_cast<UCHAR>(lba >> 24);
    request.Cdb[3] = static_cast<UCHAR>(lba >> 16);
    request.Cdb[4] = static_cast<UCHAR>(lba >> 8);
    request.Cdb[5] = static_cast<UCHAR>(lba);
    request.Cdb[8] = 1; // one block
    request.Cdb[10] = SUBCHANNEL_RAW_PW;

    DWORD returned = 0;
    if (!DeviceIoControl(handle, IOCTL_SCSI_PASS_THROUGH_DIRECT, &request, sizeof request, &request,
                         sizeof request, &returned, nullptr)) {
        return EIO;
    }
    // The status byte counts only when the returned part of the record covers it.
    if (returned > offsetof(SCSI_PASS_THROUGH_DIRECT, ScsiStatus) && request.ScsiStatus != 0) {
        return EIO;
    }
    return 0;
}
