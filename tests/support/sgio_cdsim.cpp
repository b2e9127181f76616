// Plays a CD-ROM drive behind a Linux device node, for programs that talk to
// drives with ioctl: preloaded (LD_PRELOAD) into Wine, whose ntdll carries
// IOCTL_SCSI_PASS_THROUGH_DIRECT to the node as SG_IO, and into the native
// qscan, whose stand-in does the same. It answers from a disc image through
// the simulated drive:
//
// - an ioctl on a regular file (Wine's dosdevices/d:: pointed at an image)
//   is answered from that file;
// - an ioctl on the node named by SGIO_CDSIM_NODE (a character or block
//   device, /dev/null say) is answered from the image SGIO_CDSIM_IMAGE
//   ("" or unset: a drive without a disc).
//
// Answered: SG_IO (READ CD, CHECK CONDITION past the end) and
// CDROM_GET_CAPABILITY. Everything else goes to the system. SG_IO on the
// node fails with EROFS unless the node was opened O_RDWR|O_NONBLOCK, as a
// real drive's open would.
//
// SGIO_CDSIM_LOG names a file that gets one line per request as it arrived.
// SGIO_CDSIM_FAULT=LBA:KIND alters the answer to a READ CD of that LBA:
// ioctl_fails (-1, EIO), transport (host_status DID_ERROR), sense_flag
// (driver_status DRIVER_SENSE only, data as usual) or empty (status 0, no
// data, resid the whole length).
//
// 32-bit programs built with a 64-bit time_t (Debian 12's 32-bit Wine) call
// glibc's __ioctl_time64 instead of ioctl, so both are answered.
#include "winsim/cdsim.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <linux/cdrom.h>
#include <scsi/sg.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using ioctl_function = int (*)(int, unsigned long, ...);

constexpr unsigned char DID_ERROR = 0x07;
constexpr unsigned short DRIVER_SENSE = 0x08;

cdsim_drive drive;
char drive_image[4096];
bool drive_loaded = false;

// The image behind the simulated drive, inserted when it changes.
bool load_image(const char *path) {
    if (drive_loaded && std::strcmp(path, drive_image) == 0) {
        return true;
    }
    if (drive_loaded) {
        cdsim_eject(&drive);
    }
    drive_loaded = false;
    if (std::strlen(path) >= sizeof drive_image || cdsim_insert(&drive, path) != 0) {
        return false;
    }
    std::strcpy(drive_image, path);
    drive_loaded = true;
    return true;
}

// The image to answer fd from, or nullptr when fd is none of ours; *is_node
// tells whether fd is the node rather than an image file.
const char *image_for(int fd, char *path, size_t size, bool *is_node) {
    struct stat status;
    *is_node = false;
    if (fstat(fd, &status) != 0) {
        return nullptr;
    }
    if (S_ISREG(status.st_mode)) {
        char link[64];
        std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
        const ssize_t length = readlink(link, path, size - 1);
        if (length <= 0) {
            return nullptr;
        }
        path[length] = '\0';
        return path;
    }
    const char *node = std::getenv("SGIO_CDSIM_NODE");
    struct stat node_status;
    if (node == nullptr || stat(node, &node_status) != 0 ||
        !(S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode)) ||
        (status.st_mode & S_IFMT) != (node_status.st_mode & S_IFMT) ||
        status.st_rdev != node_status.st_rdev) {
        return nullptr;
    }
    const char *image = std::getenv("SGIO_CDSIM_IMAGE");
    *is_node = true;
    return image ? image : "";
}

// A CD drive's node opened read-write without O_NONBLOCK would not have
// opened at all (EROFS for a pressed disc), and one opened read-only cannot
// carry every command: either way the drive is out of reach.
bool opened_as_a_drive_needs(int fd) {
    const int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && (flags & O_ACCMODE) == O_RDWR && (flags & O_NONBLOCK) != 0;
}

void log_line(const char *line) {
    const char *log = std::getenv("SGIO_CDSIM_LOG");
    if (log == nullptr) {
        return;
    }
    const int fd = open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd >= 0) {
        const ssize_t written = write(fd, line, std::strlen(line));
        (void)written;
        close(fd);
    }
}

void log_sg_io(const sg_io_hdr_t *header) {
    char line[256];
    int at = std::snprintf(line, sizeof line,
                           "SG_IO interface=%c direction=%d cdb=", header->interface_id,
                           header->dxfer_direction);
    for (int i = 0; i < header->cmd_len && i < 16; ++i) {
        at += std::snprintf(line + at, sizeof line - static_cast<size_t>(at), "%s%02X",
                            i ? " " : "", header->cmdp[i]);
    }
    std::snprintf(line + at, sizeof line - static_cast<size_t>(at),
                  " length=%u timeout=%u sense=%u iovecs=%u\n", header->dxfer_len, header->timeout,
                  header->mx_sb_len, header->iovec_count);
    log_line(line);
}

// The fault scripted for a READ CD of this command block, or "".
const char *fault_for(const unsigned char *cdb, int cdb_length) {
    const char *fault = std::getenv("SGIO_CDSIM_FAULT");
    if (fault == nullptr || cdb_length < 6) {
        return "";
    }
    char *kind = nullptr;
    const unsigned long lba = std::strtoul(fault, &kind, 10);
    const unsigned long asked =
        static_cast<unsigned long>(cdb[2]) << 24 | cdb[3] << 16 | cdb[4] << 8 | cdb[5];
    return *kind == ':' && lba == asked ? kind + 1 : "";
}

int answer_sg_io(const char *image, sg_io_hdr_t *header) {
    log_sg_io(header);
    if (header->interface_id != 'S' || header->iovec_count != 0 || !load_image(image)) {
        errno = EINVAL;
        return -1;
    }
    const char *fault = fault_for(header->cmdp, header->cmd_len);
    if (std::strcmp(fault, "ioctl_fails") == 0) {
        errno = EIO;
        return -1;
    }
    uint32_t transferred = 0;
    uint8_t status = CDSIM_CHECK_CONDITION;
    const bool empty = std::strcmp(fault, "empty") == 0; // the drive writes nothing
    if (empty) {
        status = CDSIM_GOOD;
    } else if (header->dxfer_direction == SG_DXFER_FROM_DEV) {
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
    header->duration = 0;
    if (std::strcmp(fault, "transport") == 0) {
        header->host_status = DID_ERROR;
    } else if (std::strcmp(fault, "sense_flag") == 0) {
        header->driver_status = DRIVER_SENSE;
    }
    header->resid = static_cast<int>(header->dxfer_len - transferred);
    header->info = header->status == CDSIM_GOOD ? SG_INFO_OK : SG_INFO_CHECK;
    return 0;
}

// Answers the request into *result when fd is a drive played here.
bool answer(int fd, unsigned long request, void *argument, int *result) {
    if (request != SG_IO && request != CDROM_GET_CAPABILITY) {
        return false;
    }
    char path[sizeof drive_image];
    bool node = false;
    const char *image = image_for(fd, path, sizeof path, &node);
    if (image == nullptr) {
        return false;
    }
    if (request == CDROM_GET_CAPABILITY) {
        log_line("CDROM_GET_CAPABILITY\n");
        *result = CDC_PLAY_AUDIO | CDC_MCN | CDC_GENERIC_PACKET;
    } else if (node && !opened_as_a_drive_needs(fd)) {
        log_line("SG_IO on a node opened without O_RDWR|O_NONBLOCK\n");
        errno = EROFS;
        *result = -1;
    } else {
        *result = answer_sg_io(image, static_cast<sg_io_hdr_t *>(argument));
    }
    return true;
}

// The system's entry point is looked up once, into *system_ioctl.
int answer_or_pass(int fd, unsigned long request, void *argument, const char *system_name,
                   ioctl_function *system_ioctl) {
    int result = 0;
    if (answer(fd, request, argument, &result)) {
        return result;
    }
    if (*system_ioctl == nullptr) {
        *system_ioctl = reinterpret_cast<ioctl_function>(dlsym(RTLD_NEXT, system_name));
    }
    return (*system_ioctl)(fd, request, argument);
}

ioctl_function system_ioctl = nullptr;
#if !defined(__LP64__)
ioctl_function system_ioctl_time64 = nullptr;
#endif

} // namespace

// Every ioctl request the programs we stand in front of make carries at most
// one pointer-sized argument.
extern "C" int ioctl(int fd, unsigned long request, ...) {
    va_list arguments;
    va_start(arguments, request);
    void *argument = va_arg(arguments, void *);
    va_end(arguments);
    return answer_or_pass(fd, request, argument, "ioctl", &system_ioctl);
}

#if !defined(__LP64__)
extern "C" int __ioctl_time64(int fd, unsigned long request, ...) {
    va_list arguments;
    va_start(arguments, request);
    void *argument = va_arg(arguments, void *);
    va_end(arguments);
    return answer_or_pass(fd, request, argument, "__ioctl_time64", &system_ioctl_time64);
}
#endif
