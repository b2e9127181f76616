// Stand-in for the few Windows services the device code calls, for hosts that
// are not Windows. Same names, types, values and behaviour as the real ones;
// behind them sit a simulated CD-ROM drive that serves disc images and, for a
// real drive, the Linux device node it is reached through.
//
// Drive letters resolve, case-insensitively, through the environment variable
// CDSIM_<LETTER>: unset, no such drive; empty, a CD-ROM drive without a disc;
// a device node (/dev/sr0), the real drive behind it, if the node says it is
// a CD/DVD drive, reached with SG_IO; any other path, a CD-ROM drive holding
// that image (*.sub deinterleaved, anything else raw interleaved P-W, 96
// bytes a sector).
#pragma once

#include <cstdint>

using BOOL = int;
using UINT = unsigned int;
using DWORD = uint32_t;
using ULONG = uint32_t;
using USHORT = uint16_t;
using UCHAR = uint8_t;
using PVOID = void *;
using LPVOID = void *;
using LPDWORD = DWORD *;
using LPCSTR = const char *;
using HANDLE = void *;
struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES *;
struct OVERLAPPED;
using LPOVERLAPPED = OVERLAPPED *;

constexpr BOOL FALSE = 0;
constexpr BOOL TRUE = 1;

constexpr UINT DRIVE_UNKNOWN = 0;
constexpr UINT DRIVE_NO_ROOT_DIR = 1;
constexpr UINT DRIVE_REMOVABLE = 2;
constexpr UINT DRIVE_FIXED = 3;
constexpr UINT DRIVE_REMOTE = 4;
constexpr UINT DRIVE_CDROM = 5;
constexpr UINT DRIVE_RAMDISK = 6;

constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD FILE_SHARE_READ = 0x1;
constexpr DWORD FILE_SHARE_WRITE = 0x2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));

constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_TOO_MANY_OPEN_FILES = 4;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_READY = 21;
constexpr DWORD ERROR_GEN_FAILURE = 31;
constexpr DWORD ERROR_SHARING_VIOLATION = 32;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_INVALID_NAME = 123;
constexpr DWORD ERROR_BUSY = 170;
constexpr DWORD ERROR_IO_DEVICE = 1117;

constexpr DWORD IOCTL_SCSI_PASS_THROUGH_DIRECT = 0x4D014;
constexpr UCHAR SCSI_IOCTL_DATA_OUT = 0;
constexpr UCHAR SCSI_IOCTL_DATA_IN = 1;
constexpr UCHAR SCSI_IOCTL_DATA_UNSPECIFIED = 2;

struct SCSI_PASS_THROUGH_DIRECT {
    USHORT Length;
    UCHAR ScsiStatus;
    UCHAR PathId;
    UCHAR TargetId;
    UCHAR Lun;
    UCHAR CdbLength;
    UCHAR SenseInfoLength;
    UCHAR DataIn;
    ULONG DataTransferLength;
    ULONG TimeOutValue;
    PVOID DataBuffer;
    ULONG SenseInfoOffset;
    UCHAR Cdb[16];
};

UINT GetDriveTypeA(LPCSTR root_path_name);
HANDLE CreateFileA(LPCSTR file_name, DWORD desired_access, DWORD share_mode,
                   LPSECURITY_ATTRIBUTES security_attributes, DWORD creation_disposition,
                   DWORD flags_and_attributes, HANDLE template_file);
BOOL DeviceIoControl(HANDLE device, DWORD io_control_code, LPVOID in_buffer, DWORD in_buffer_size,
                     LPVOID out_buffer, DWORD out_buffer_size, LPDWORD bytes_returned,
                     LPOVERLAPPED overlapped);
BOOL CloseHandle(HANDLE object);
DWORD GetLastError();
