// A real CD-ROM drive behind a Linux device node (/dev/sr0), reached the way
// Linux reaches drives: CDROM_GET_CAPABILITY to tell a CD/DVD drive from any
// other node, and one SG_IO ioctl per command.
//
// Like the simulated drive beside it, it knows nothing of what the data
// means: it carries commands and bytes.
#pragma once

#include <cstdint>

// Whether the node answers CDROM_GET_CAPABILITY, as CD/DVD drives do.
bool sgdrive_is_cdrom(const char *path);

// Opens the node for reading and writing (SG_IO needs write access for
// commands outside the kernel's read-only list). Non-blocking is essential,
// not a convenience: Linux refuses a read-write open of a CD drive whose
// medium cannot be written (EROFS), and an open of a drive without a medium
// (ENOMEDIUM), unless the open is non-blocking. 0 with *fd set, or the errno
// value.
int sgdrive_open(const char *path, int *fd);

void sgdrive_close(int fd);

// One command with data flowing to the host, the only kind the stand-in
// accepts (DataIn is SCSI_IOCTL_DATA_IN).
struct sgdrive_command {
    const uint8_t *cdb;
    uint8_t cdb_length;
    uint8_t *data;
    uint32_t data_length;
    uint32_t timeout_seconds;
    uint8_t *sense; // nullptr, or sense_length bytes for the drive's sense data
    uint8_t sense_length;
};

struct sgdrive_answer {
    uint8_t status;        // the SCSI status byte
    uint32_t transferred;  // data_length less what the drive left untouched
    uint8_t sense_written; // sense bytes the drive wrote
};

// Executes one command with one SG_IO. 0 with *answer filled in; the errno
// value when the ioctl fails; EIO when the host adapter or the driver
// reports a transport failure (sense data following is no failure).
int sgdrive_execute(int fd, const sgdrive_command *command, sgdrive_answer *answer);
