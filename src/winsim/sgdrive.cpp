#include "winsim/sgdrive.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <linux/cdrom.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// driver_status flag: sense data follows. The status byte tells the rest.
constexpr unsigned short DRIVER_SENSE = 0x08;

} // namespace

bool sgdrive_is_cdrom(const char *path) {
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool cdrom = ioctl(fd, CDROM_GET_CAPABILITY, 0) >= 0;
    close(fd);
    return cdrom;
}

int sgdrive_open(const char *path, int *fd) {
    const int opened = open(path, O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (opened < 0) {
        return errno;
    }
    *fd = opened;
    return 0;
}

void sgdrive_close(int fd) {
    close(fd);
}

int sgdrive_execute(int fd, const sgdrive_command *command, sgdrive_answer *answer) {
    sg_io_hdr_t header;
    std::memset(&header, 0, sizeof header);
    header.interface_id = 'S';
    header.dxfer_direction = SG_DXFER_FROM_DEV;
    header.cmdp = const_cast<unsigned char *>(command->cdb);
    header.cmd_len = command->cdb_length;
    header.dxferp = command->data;
    header.dxfer_len = command->data_length;
    header.timeout =
        command->timeout_seconds > UINT_MAX / 1000 ? UINT_MAX : command->timeout_seconds * 1000;
    if (command->sense != nullptr && command->sense_length > 0) {
        header.sbp = command->sense;
        header.mx_sb_len = command->sense_length;
    }

    if (ioctl(fd, SG_IO, &header) < 0) {
        return errno;
    }
    if (header.host_status != 0 || (header.driver_status & ~DRIVER_SENSE) != 0) {
        return EIO;
    }
    const uint32_t left = header.resid <= 0 ? 0 : static_cast<uint32_t>(header.resid);
    answer->status = header.status;
    answer->transferred = left >= command->data_length ? 0 : command->data_length - left;
    answer->sense_written =
        header.sb_len_wr < header.mx_sb_len ? header.sb_len_wr : header.mx_sb_len;
    return 0;
}
