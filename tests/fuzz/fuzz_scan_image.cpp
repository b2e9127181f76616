// Whole scans of arbitrary image bytes, of any length, through the Windows
// stand-in and the simulated drive. The first byte chooses the layout: odd,
// deinterleaved (.sub); even, raw.
#include "fuzz_support.h"
#include "winsim/winsim_control.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

std::string image_path(bool deinterleaved) {
    return "/tmp/qscan-fuzz-" + std::to_string(getpid()) + (deinterleaved ? ".sub" : ".img");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz_discard_stdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const bool deinterleaved = size > 0 && (data[0] & 1);
    const std::string path = image_path(deinterleaved);
    FILE *image = std::fopen(path.c_str(), "wb");
    if (image == nullptr || std::fwrite(data, 1, size, image) != size) {
        std::abort();
    }
    std::fclose(image);
    setenv("CDSIM_X", path.c_str(), 1);

    device_handle handle;
    if (device_open("X:", &handle) != 0) {
        std::abort();
    }
    const scan_options options = fuzz_all_options();
    scan_disc(handle, &options, 0);
    winsim_reset(); // closes the drive
    unlink(path.c_str());
    return 0;
}
