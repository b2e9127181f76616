// Drive access: opens a CD-ROM drive by its letter and reads the raw P-W
// sub-channel of one sector at a time with READ CD through SCSI pass-through.
// The only module that calls the operating system's device services.
#pragma once

#include <cstdint>

// The operating system's handle on the drive's raw device. It stays open
// until the process ends.
using device_handle = void *;

constexpr int DEVICE_RAW_BLOCK_SIZE = 96;

// name is a drive letter and a colon ("X:"). 0 with the handle stored, or
// EINVAL for every kind of failure.
int device_open(const char *name, device_handle *handle);

// 0 with the sector's 96 raw sub-channel bytes in raw, or EIO. raw is cleared
// before the request, so a short transfer never leaves an earlier sector's
// bytes behind.
int device_read_subchannel(device_handle handle, uint32_t lba, uint8_t raw[DEVICE_RAW_BLOCK_SIZE]);
