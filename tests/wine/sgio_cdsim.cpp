// Preloaded into wine64 (LD_PRELOAD) so that a disc image can stand in for a
// CD-ROM drive under Wine's own Windows API.
//
// Wine carries IOCTL_SCSI_PASS_THROUGH_DIRECT to the drive's device node as a
// Linux SG_IO ioctl. When the device node is a regular file (the image that
// dosdevices/d:: points to), the simulated drive answers the command from it:
// status 0 with the data, or CHECK CONDITION. Every other ioctl, and SG_IO on
// anything that is not a regular file (a real /dev/sr0), goes to the system.
#include "winsim/cdsim.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <scsi/sg.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using ioctl_function = int (*)(int, unsigned long, ...);

cdsim_drive drive;
char drive_image[4096];

// The image behind fd, inserted into the simulated drive when it changes.
bool load_image_of(int fd) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char path[sizeof drive_image];
    const ssize_t length = readlink(link, path, sizeof path - 1);
    if (length <= 0) {
        return false;
    }
    path[length] = '\0';
    if (std::strcmp(path, drive_image) != 0) {
        if (drive_image[0] != '\0') {
            cdsim_eject(&drive);
        }
        drive_image[0] = '\0';
        if (cdsim_insert(&drive, path) != 0) {
            return false;
        }
        std::memcpy(drive_image, path, static_cast<size_t>(length) + 1);
    }
    return true;
}

int answer_sg_io(int fd, sg_io_hdr_t *header) {
    if (header->interface_id != 'S' || header->iovec_count != 0 || !load_image_of(fd)) {
        return -1;
    }
    uint32_t transferred = 0;
    uint8_t status = CDSIM_CHECK_CONDITION;
    if (header->dxfer_direction == SG_DXFER_FROM_DEV) {
        status =
            cdsim_execute(&drive, header->cmdp, header->cmd_len,
                          static_cast<uint8_t *>(header->dxferp), header->dxfer_len, &transferred);
    }
    header->status = status;
    header->masked_status = static_cast<unsigned char>(status >> 1);
    header->msg_status = 0;
    header->sb_len_wr = 0;
    header->host_status = 0;
    header->driver_status = 0;
    header->resid = static_cast<int>(header->dxfer_len - transferred);
    header->duration = 0;
    header->info = status == CDSIM_GOOD ? SG_INFO_OK : SG_INFO_CHECK;
    return 0;
}

} // namespace

extern "C" int ioctl(int fd, unsigned long request, ...) {
    va_list arguments;
    va_start(arguments, request);
    void *argument = va_arg(arguments, void *);
    va_end(arguments);

    struct stat status;
    if (request == SG_IO && fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
        if (answer_sg_io(fd, static_cast<sg_io_hdr_t *>(argument)) == 0) {
            return 0;
        }
    }
    static const auto system_ioctl = reinterpret_cast<ioctl_function>(dlsym(RTLD_NEXT, "ioctl"));
    return system_ioctl(fd, request, argument);
}
