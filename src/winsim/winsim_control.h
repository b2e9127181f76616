// What tests can do to the stand-in: read the log of the calls it received,
// make drives answer as other kinds of drive, and script faults at the drive.
// The tool itself never calls these.
#pragma once

#include "winsim/winsim.h"

#include <string>
#include <vector>

enum class winsim_function { get_drive_type, create_file, device_io_control, close_handle };

// One call as the stand-in received it.
struct winsim_call {
    winsim_function function = winsim_function::get_drive_type;
    std::string path; // GetDriveTypeA, CreateFileA
    DWORD desired_access = 0;
    DWORD share_mode = 0;
    bool security_attributes = false;
    DWORD creation_disposition = 0;
    DWORD flags_and_attributes = 0;
    bool template_file = false;
    HANDLE handle = nullptr; // DeviceIoControl, CloseHandle
    DWORD io_control_code = 0;
    DWORD in_buffer_size = 0;
    DWORD out_buffer_size = 0;
    bool in_is_out = false; // the same buffer passed as input and output
    bool bytes_returned_counter = false;
    bool overlapped = false;
    SCSI_PASS_THROUGH_DIRECT request{}; // the request as sent, before the drive answered
};

// A fault for READ CD requests whose LBA lies in [first_lba, last_lba].
struct winsim_fault {
    uint32_t first_lba = 0;
    uint32_t last_lba = 0xFFFFFFFF;
    bool call_fails = false;   // DeviceIoControl returns FALSE, nothing touched
    int scsi_status = -1;      // >= 0: the status byte reported
    int bytes_returned = -1;   // >= 0: the count reported in the bytes-returned counter
    int transfer = -1;         // >= 0: only this many data bytes reach DataBuffer
    bool replace_data = false; // serve data below instead of the disc's, even past its end
    unsigned char data[96] = {};
};

// Starts logging every call (off by default: the tool's scans log nothing).
void winsim_log_enable(bool enable);
const std::vector<winsim_call> &winsim_calls();

// Answers GetDriveTypeA for that letter with type, whatever CDSIM_<LETTER> says.
void winsim_set_drive_type(char letter, UINT type);

void winsim_add_fault(const winsim_fault &fault);

// Clears the log, the drive types and the faults, and closes every handle.
void winsim_reset();
