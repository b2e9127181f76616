// The simulated CD-ROM drive: a disc image and the one MMC command it serves,
// READ CD with raw P-W sub-channel and no main-channel data.
//
// It knows nothing of what the sub-channel means: it serves bytes.
#pragma once

#include <cstdint>

constexpr int CDSIM_SECTOR_SIZE = 96;
constexpr int CDSIM_BUFFER_SECTORS = 682; // just under 64 KiB read at a time
constexpr uint8_t CDSIM_GOOD = 0x00;
constexpr uint8_t CDSIM_CHECK_CONDITION = 0x02;

struct cdsim_drive {
    int fd;                // -1: no disc in the drive
    bool deinterleaved;    // *.sub: 12 bytes of P, then Q, ..., W per sector
    uint64_t sectors;      // whole sectors in the image when it was inserted
    uint64_t buffer_first; // first sector held in buffer
    uint32_t buffer_count; // sectors held in buffer
    uint8_t buffer[CDSIM_BUFFER_SECTORS * CDSIM_SECTOR_SIZE];
};

// An empty path leaves the drive without a disc. 0, or an errno value when the
// image cannot be opened (anything but a regular file counts as unreadable).
int cdsim_insert(cdsim_drive *drive, const char *image_path);

void cdsim_eject(cdsim_drive *drive);

// Executes one command descriptor block with data flowing to the host.
// Returns the SCSI status; *transferred is the number of bytes placed in data.
uint8_t cdsim_execute(cdsim_drive *drive, const uint8_t *cdb, int cdb_length, uint8_t *data,
                      uint32_t data_length, uint32_t *transferred);

// One deinterleaved sector (P[12], Q[12], ..., W[12]) to the raw interleaved
// form READ CD returns (bit 7 P, bit 6 Q, ..., bit 0 W, one byte per symbol).
void cdsim_interleave(const uint8_t deinterleaved[CDSIM_SECTOR_SIZE],
                      uint8_t raw[CDSIM_SECTOR_SIZE]);
