#include "winsim/cdsim.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uint8_t READ_CD = 0xBE;
constexpr int READ_CD_CDB_LENGTH = 12;
constexpr uint8_t SECTOR_TYPE_ANY = 0;
constexpr uint8_t SECTOR_TYPE_CDDA = 1;
constexpr uint8_t SUBCHANNEL_RAW_PW = 1;
constexpr int CHANNELS = 8;
constexpr int SYMBOLS_PER_CHANNEL_BYTE = 8;
constexpr int BYTES_PER_CHANNEL = CDSIM_SECTOR_SIZE / CHANNELS;

bool ends_with_sub(const char *path) {
    const size_t length = std::strlen(path);
    if (length < 4) {
        return false;
    }
    const char *tail = path + length - 4;
    return tail[0] == '.' && (tail[1] | 0x20) == 's' && (tail[2] | 0x20) == 'u' &&
           (tail[3] | 0x20) == 'b';
}

// Brings sector lba into the drive's buffer. False when the image can no
// longer deliver it (the file shrank or the read failed).
bool buffer_sector(cdsim_drive *drive, uint64_t lba) {
    if (lba >= drive->buffer_first && lba < drive->buffer_first + drive->buffer_count) {
        return true;
    }
    uint64_t count = drive->sectors - lba;
    if (count > CDSIM_BUFFER_SECTORS) {
        count = CDSIM_BUFFER_SECTORS;
    }
    const size_t wanted = static_cast<size_t>(count) * CDSIM_SECTOR_SIZE;
    size_t got = 0;
    while (got < wanted) {
        const ssize_t n = pread(drive->fd, drive->buffer + got, wanted - got,
                                static_cast<off_t>(lba * CDSIM_SECTOR_SIZE + got));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        got += static_cast<size_t>(n);
    }
    drive->buffer_first = lba;
    drive->buffer_count = static_cast<uint32_t>(got / CDSIM_SECTOR_SIZE);
    return drive->buffer_count > 0;
}

uint32_t be32(const uint8_t *bytes) {
    return static_cast<uint32_t>(bytes[0]) << 24 | static_cast<uint32_t>(bytes[1]) << 16 |
           static_cast<uint32_t>(bytes[2]) << 8 | bytes[3];
}

uint32_t be24(const uint8_t *bytes) {
    return static_cast<uint32_t>(bytes[0]) << 16 | static_cast<uint32_t>(bytes[1]) << 8 | bytes[2];
}

} // namespace

int cdsim_insert(cdsim_drive *drive, const char *image_path) {
    drive->fd = -1;
    drive->deinterleaved = false;
    drive->sectors = 0;
    drive->buffer_first = 0;
    drive->buffer_count = 0;
    if (image_path[0] == '\0') {
        return 0;
    }
    // Non-blocking, so that a FIFO put here by mistake is refused below
    // instead of waiting for a writer.
    const int fd = open(image_path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    struct stat status;
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(fd);
        return EISDIR;
    }
    drive->fd = fd;
    drive->deinterleaved = ends_with_sub(image_path);
    drive->sectors = static_cast<uint64_t>(status.st_size) / CDSIM_SECTOR_SIZE;
    return 0;
}

void cdsim_eject(cdsim_drive *drive) {
    if (drive->fd >= 0) {
        close(drive->fd);
    }
    drive->fd = -1;
    drive->sectors = 0;
    drive->buffer_count = 0;
}

void cdsim_interleave(const uint8_t deinterleaved[CDSIM_SECTOR_SIZE],
                      uint8_t raw[CDSIM_SECTOR_SIZE]) {
    // Each group of eight raw bytes is the 8x8 bit transpose of byte j of the
    // eight channels: row c (channel P..W) becomes column c (bit 7..0).
    for (int j = 0; j < BYTES_PER_CHANNEL; ++j) {
        uint64_t x = 0;
        for (int c = 0; c < CHANNELS; ++c) {
            x = (x << 8) | deinterleaved[c * BYTES_PER_CHANNEL + j];
        }
        uint64_t t = (x ^ (x >> 7)) & 0x00AA00AA00AA00AAULL;
        x = x ^ t ^ (t << 7);
        t = (x ^ (x >> 14)) & 0x0000CCCC0000CCCCULL;
        x = x ^ t ^ (t << 14);
        t = (x ^ (x >> 28)) & 0x00000000F0F0F0F0ULL;
        x = x ^ t ^ (t << 28);
        for (int b = 0; b < SYMBOLS_PER_CHANNEL_BYTE; ++b) {
            raw[j * SYMBOLS_PER_CHANNEL_BYTE + b] = static_cast<uint8_t>(x >> (56 - 8 * b));
        }
    }
}

uint8_t cdsim_execute(cdsim_drive *drive, const uint8_t *cdb, int cdb_length, uint8_t *data,
                      uint32_t data_length, uint32_t *transferred) {
    *transferred = 0;
    if (cdb_length != READ_CD_CDB_LENGTH || cdb[0] != READ_CD) {
        return CDSIM_CHECK_CONDITION; // invalid command operation code
    }
    const uint8_t sector_type = (cdb[1] >> 2) & 0x07;
    const uint8_t main_channel = cdb[9];
    const uint8_t sub_channel = cdb[10] & 0x07;
    if ((sector_type != SECTOR_TYPE_ANY && sector_type != SECTOR_TYPE_CDDA) || main_channel != 0 ||
        sub_channel != SUBCHANNEL_RAW_PW) {
        return CDSIM_CHECK_CONDITION; // invalid field in CDB: the image holds sub-channel only
    }
    if (drive->fd < 0) {
        return CDSIM_CHECK_CONDITION; // medium not present
    }
    const uint64_t lba = be32(cdb + 2);
    const uint64_t blocks = be24(cdb + 6);
    if (blocks * CDSIM_SECTOR_SIZE > data_length) {
        return CDSIM_CHECK_CONDITION; // the host's buffer cannot take the transfer
    }
    if (lba + blocks > drive->sectors) {
        return CDSIM_CHECK_CONDITION; // logical block address out of range
    }
    for (uint64_t block = 0; block < blocks; ++block) {
        if (!buffer_sector(drive, lba + block)) {
            return CDSIM_CHECK_CONDITION; // unrecovered read error
        }
        const uint8_t *sector =
            drive->buffer + (lba + block - drive->buffer_first) * CDSIM_SECTOR_SIZE;
        uint8_t *out = data + block * CDSIM_SECTOR_SIZE;
        if (drive->deinterleaved) {
            cdsim_interleave(sector, out);
        } else {
            std::memcpy(out, sector, CDSIM_SECTOR_SIZE);
        }
        *transferred += CDSIM_SECTOR_SIZE;
    }
    return CDSIM_GOOD;
}
