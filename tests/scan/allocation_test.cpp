// The scan allocates nothing: not per sector, not at all once the drive is
// open. Counted by standing in front of the C library's allocator.
#include "discgen.h"
#include "scan/scan.h"
#include "support/images.h"
#include "winsim/winsim_control.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define QSCAN_COUNTS_ALLOCATIONS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QSCAN_COUNTS_ALLOCATIONS 0
#endif
#endif
#ifndef QSCAN_COUNTS_ALLOCATIONS
#define QSCAN_COUNTS_ALLOCATIONS 1
#endif

namespace {
std::atomic<long> allocations{0};
}

#if QSCAN_COUNTS_ALLOCATIONS
// glibc's own entry points; operator new comes through malloc.
extern "C" void *__libc_malloc(size_t size);
extern "C" void *__libc_calloc(size_t count, size_t size);
extern "C" void *__libc_realloc(void *block, size_t size);

extern "C" void *malloc(size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(size);
}
extern "C" void *calloc(size_t count, size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_calloc(count, size);
}
extern "C" void *realloc(void *block, size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_realloc(block, size);
}
#endif

namespace {

// Scans the image in drive X: with every option, output thrown away, and
// returns the allocations made during the scan. Through a real drive, X: is
// /dev/null played from the image by the answerer linked into this binary.
long allocations_during_scan(const std::string &image, bool real_drive) {
    winsim_reset();
    setenv("CDSIM_X", real_drive ? "/dev/null" : image.c_str(), 1);
    setenv("SGIO_CDSIM_NODE", "/dev/null", 1);
    setenv("SGIO_CDSIM_IMAGE", image.c_str(), 1);
    device_handle handle;
    EXPECT_EQ(device_open("X:", &handle), 0);
    scan_options options{};
    options.opt_raw = options.opt_print = options.opt_timing = 1;
    options.opt_catalog = options.opt_isrc = options.opt_errors = 1;

    std::fflush(stdout);
    const int saved = dup(1);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    const long before = allocations.load();
    scan_disc(handle, &options, 0);
    const long during = allocations.load() - before;
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
    close(null);
    winsim_reset();
    unsetenv("CDSIM_X");
    unsetenv("SGIO_CDSIM_NODE");
    unsetenv("SGIO_CDSIM_IMAGE");
    return during;
}

TEST(Allocation, AScanAllocatesNothingWhateverItsLength) {
    if (!QSCAN_COUNTS_ALLOCATIONS) {
        GTEST_SKIP() << "the sanitizer owns the allocator in this build";
    }
    // The counter sees this test's own allocations.
    const long probe = allocations.load();
    std::string grow(1000, 'x');
    ASSERT_GT(allocations.load(), probe);

    discgen_description description;
    ASSERT_EQ(discgen_parse("mcn 0724384960650\nmcn_every 50\nisrc_every 60\ndamage 0.01\n"
                            "track USRC17607839 length 5:00.00\nat 9 mode 4\nat 10 data_error\n",
                            &description),
              "");
    const std::vector<discgen_frame> frames = discgen_frames(description);
    const std::string image =
        write_file("allocation.sub", discgen_image(frames, true, description.seed));
    EXPECT_EQ(allocations_during_scan(image, false), 0) << frames.size() << " sectors";
    EXPECT_EQ(allocations_during_scan(image, true), 0) << frames.size() << " sectors, real drive";
}

} // namespace
