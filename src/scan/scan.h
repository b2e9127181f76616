// The scanner front end: command line, the sector-by-sector scan and every
// line the tool prints.
#pragma once

#include "device/device.h"
#include "subchannel/subchannel.h"

#include <cstdint>

struct scan_options {
    int opt_raw;     // -r: the 12 Q bytes of every sector
    int opt_print;   // -p: every decoded frame with its mode
    int opt_timing;  // -t: the position of every position frame
    int opt_catalog; // -c: every media catalog number with its position
    int opt_isrc;    // -i: every ISRC with its position (the default)
    int opt_errors;  // -e: every sector whose Q frame is damaged
    const char *device_name;
};

constexpr int SCAN_USAGE_ERROR = 1;
constexpr int SCAN_WRITE_ERROR = 2; // standard output could not be written

// 0 with the options and drive name filled in, or SCAN_USAGE_ERROR.
int scan_parse_command_line(int argc, char **argv, scan_options *options);

void scan_print_usage(int argc, char **argv);

// LBA 0 of a standard disc: track 1, index 1, two seconds after the start of
// the disc. Frames met before the first position frame are placed from here.
constexpr timing SCAN_DISC_START = {1, 1, {0, 0, 0}, {0, 2, 0}};

// Everything one sector's raw sub-channel block makes the scan print, and its
// effect on the running position.
void scan_sector(const scan_options *options, uint32_t sector,
                 const uint8_t raw[DEVICE_RAW_BLOCK_SIZE], timing *position);

// Scans from first_sector until the drive refuses a read, the sector number
// would wrap or standard output fails. 0, or SCAN_WRITE_ERROR with a message
// on standard error where the lines could not be written.
int scan_disc(device_handle handle, const scan_options *options, uint32_t first_sector);

// The whole program: parse, open, scan. Usage errors and open failures end the
// process with status 1.
int scan_main(int argc, char **argv);
