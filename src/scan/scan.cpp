#include "scan/scan.h"

#include "subchannel/subchannel.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Each byte as "%02x " would print it, the line written at once: twelve
// separate printf calls would cost more than the rest of the sector's work.
void print_raw(const uint8_t q[SUBCHANNEL_Q_SIZE]) {
    static const char hex[] = "0123456789abcdef";
    char line[3 * SUBCHANNEL_Q_SIZE + 1];
    for (int i = 0; i < SUBCHANNEL_Q_SIZE; ++i) {
        line[3 * i] = hex[q[i] >> 4];
        line[3 * i + 1] = hex[q[i] & 0x0F];
        line[3 * i + 2] = ' ';
    }
    line[3 * SUBCHANNEL_Q_SIZE] = '\n';
    fwrite(line, 1, sizeof line, stdout);
}

void print_frame(const subq *frame) {
    const int mode = subq_mode(frame);
    if (mode == 1) {
        const timing *p = &frame->position;
        printf("%u %2d.%02d %02d:%02d.%02d %02d:%02d.%02d\n", 1u, p->track, p->index, p->rel.m,
               p->rel.s, p->rel.f, p->abs.m, p->abs.s, p->abs.f);
    } else if (mode == 2) {
        const char *d = frame->catalog.mcn;
        printf("%u %c%c%c%c%c%c%c%c%c%c%c%c%c %d\n", 2u, d[0], d[1], d[2], d[3], d[4], d[5], d[6],
               d[7], d[8], d[9], d[10], d[11], d[12], frame->catalog.abs_f);
    } else if (mode == 3) {
        const char *c = frame->recording.isrc;
        printf("%u %c%c-%c%c%c-%c%c-%c%c%c%c%c %d\n", 3u, c[0], c[1], c[2], c[3], c[4], c[5], c[6],
               c[7], c[8], c[9], c[10], c[11], frame->recording.abs_f);
    } else {
        printf("%u unknown mode\n", static_cast<unsigned>(mode));
    }
}

void print_position(const timing *p) {
    printf("%2d.%02d %02d:%02d.%02d %02d:%02d.%02d\n", p->track, p->index, p->rel.m, p->rel.s,
           p->rel.f, p->abs.m, p->abs.s, p->abs.f);
}

void print_catalog(const timing *p, const char *d) {
    printf("%2d.%02d %02d:%02d.%02d %02d:%02d.%02d : %c%c%c%c%c%c%c%c%c%c%c%c%c\n", p->track,
           p->index, p->rel.m, p->rel.s, p->rel.f, p->abs.m, p->abs.s, p->abs.f, d[0], d[1], d[2],
           d[3], d[4], d[5], d[6], d[7], d[8], d[9], d[10], d[11], d[12]);
}

void print_recording(const timing *p, const char *c) {
    printf("%2d.%02d %02d:%02d.%02d %02d:%02d.%02d : %c%c-%c%c%c-%c%c-%c%c%c%c%c\n", p->track,
           p->index, p->rel.m, p->rel.s, p->rel.f, p->abs.m, p->abs.s, p->abs.f, c[0], c[1], c[2],
           c[3], c[4], c[5], c[6], c[7], c[8], c[9], c[10], c[11]);
}

// Moves the running position on for one decoded frame and prints the line
// that carries it, if asked for.
void report_frame(const scan_options *options, const subq *frame, timing *position) {
    switch (subq_mode(frame)) {
    case 1:
        *position = frame->position;
        if (options->opt_timing) {
            print_position(position);
        }
        break;
    case 2:
        timing_sync(position, frame->catalog.abs_f);
        if (options->opt_catalog) {
            print_catalog(position, frame->catalog.mcn);
        }
        break;
    case 3:
        timing_sync(position, frame->recording.abs_f);
        if (options->opt_isrc) {
            print_recording(position, frame->recording.isrc);
        }
        break;
    default:
        timing_add(position, 1);
        break;
    }
}

} // namespace

int scan_parse_command_line(int argc, char **argv, scan_options *options) {
    *options = scan_options{};
    bool any_option = false;
    int i = 1;
    for (; i < argc && argv[i][0] == '-'; ++i) {
        // Only the letter right after the dash counts.
        switch (argv[i][1]) {
        case 'r':
            options->opt_raw = 1;
            break;
        case 'p':
            options->opt_print = 1;
            break;
        case 't':
            options->opt_timing = 1;
            break;
        case 'c':
            options->opt_catalog = 1;
            break;
        case 'i':
            options->opt_isrc = 1;
            break;
        case 'e':
            options->opt_errors = 1;
            break;
        default:
            return SCAN_USAGE_ERROR;
        }
        any_option = true;
    }
    if (i != argc - 1) {
        return SCAN_USAGE_ERROR; // no drive name, or something after it
    }
    if (!any_option) {
        options->opt_isrc = 1;
    }
    options->device_name = argv[i];
    return 0;
}

void scan_print_usage(int argc, char **argv) {
    const char *program = argc > 0 && argv != nullptr && argv[0] != nullptr ? argv[0] : "qscan";
    printf("Usage: %s [-r] [-p] [-t] [-c] [-i] [-e]  device\n", program);
}

void scan_sector(const scan_options *options, uint32_t sector,
                 const uint8_t raw[DEVICE_RAW_BLOCK_SIZE], timing *position) {
    uint8_t q[SUBCHANNEL_Q_SIZE];
    subq frame;
    subchannel_extract_q(raw, q);
    if (options->opt_raw) {
        print_raw(q);
    }
    const int status = subchannel_decode_q(q, &frame);
    if (status != 0) {
        if (options->opt_errors) {
            printf(status == SUBQ_CRC_ERROR ? "subchannel crc error in sector %llu\n"
                                            : "subchannel data error in sector %llu\n",
                   static_cast<unsigned long long>(sector));
        }
        timing_add(position, 1); // a lost frame still takes its place on the disc
        return;
    }
    if (options->opt_print) {
        print_frame(&frame);
    }
    report_frame(options, &frame, position);
}

int scan_disc(device_handle handle, const scan_options *options, uint32_t first_sector) {
    // The drive transfers straight into this block; adapters may demand an
    // aligned buffer (their AlignmentMask) and refuse any other.
    alignas(16) uint8_t raw[DEVICE_RAW_BLOCK_SIZE];
    timing position = SCAN_DISC_START;
    uint32_t sector = first_sector;
    while (device_read_subchannel(handle, sector, raw) == 0) {
        scan_sector(options, sector, raw, &position);
        if (ferror(stdout) || sector == UINT32_MAX) {
            break; // lines nobody gets, or no sector number left to ask for
        }
        ++sector;
    }
    // A scan whose lines were lost is no scan: said, and not 0.
    int error = errno;
    if (!ferror(stdout) && fflush(stdout) == 0) {
        return 0;
    }
    error = errno != 0 ? errno : error;
    fprintf(stderr, "qscan: write error: %s\n", strerror(error));
    return SCAN_WRITE_ERROR;
}

int scan_main(int argc, char **argv) {
    scan_options options;
    if (scan_parse_command_line(argc, argv, &options) != 0) {
        scan_print_usage(argc, argv);
        exit(1);
    }
    device_handle handle;
    const int status = device_open(options.device_name, &handle);
    if (status != 0) {
        errno = status;
        perror("failed to open device");
        exit(1);
    }
    return scan_disc(handle, &options, 0);
}
