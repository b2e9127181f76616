// Per-frame cost of the scan's own work on realistic sub-channel: mostly
// position frames, a catalog or ISRC frame about once in a hundred, a few
// damaged frames, taken from a generated disc.
#include "discgen.h"
#include "subchannel/subchannel.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

namespace {

constexpr size_t FRAMES = 4500; // one minute of disc

struct disc_sample {
    std::vector<uint8_t> raw;               // FRAMES blocks of 96 bytes
    std::vector<std::array<uint8_t, 12>> q; // their Q frames
};

const disc_sample &sample() {
    static const disc_sample disc = [] {
        discgen_description description;
        const std::string error =
            discgen_parse("mcn 0724384960650\nmcn_every 97\nisrc_every 101\ndamage 0.002\n"
                          "seed 3\ntrack GBAYE6900123 length 0:30.00\n"
                          "track USRC17607839 pregap 0:02.00 length 0:28.00\n",
                          &description);
        if (!error.empty() || discgen_frames(description).size() != FRAMES) {
            std::abort();
        }
        const std::vector<discgen_frame> frames = discgen_frames(description);
        disc_sample made;
        made.raw = discgen_image(frames, false, 3);
        for (const discgen_frame &frame : frames) {
            std::array<uint8_t, 12> q;
            std::copy(frame.q, frame.q + 12, q.begin());
            made.q.push_back(q);
        }
        return made;
    }();
    return disc;
}

using extract_function = void (*)(const uint8_t *, uint8_t *);

template <extract_function extract> void BM_extract(benchmark::State &state) {
    const disc_sample &disc = sample();
    uint8_t q[12];
    size_t i = 0;
    for (auto _ : state) {
        extract(disc.raw.data() + 96 * i, q);
        benchmark::DoNotOptimize(q);
        i = i + 1 == FRAMES ? 0 : i + 1;
    }
}
BENCHMARK_TEMPLATE(BM_extract, subchannel_extract_q)->Name("BM_extract_q");
BENCHMARK_TEMPLATE(BM_extract, subchannel_extract_q_portable)->Name("BM_extract_q_portable");
BENCHMARK_TEMPLATE(BM_extract, subchannel_extract_q_reference)->Name("BM_extract_q_reference");

void BM_check_crc(benchmark::State &state) {
    const disc_sample &disc = sample();
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(subchannel_check_crc(disc.q[i].data()));
        i = i + 1 == FRAMES ? 0 : i + 1;
    }
}
BENCHMARK(BM_check_crc);

void BM_decode_q(benchmark::State &state) {
    const disc_sample &disc = sample();
    subq frame;
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(subchannel_decode_q(disc.q[i].data(), &frame));
        benchmark::DoNotOptimize(frame);
        i = i + 1 == FRAMES ? 0 : i + 1;
    }
}
BENCHMARK(BM_decode_q);

// What the scan does with every sector before printing: extraction, the CRC
// check and decoding together.
void BM_extract_check_decode(benchmark::State &state) {
    const disc_sample &disc = sample();
    uint8_t q[12];
    subq frame;
    size_t i = 0;
    for (auto _ : state) {
        subchannel_extract_q(disc.raw.data() + 96 * i, q);
        benchmark::DoNotOptimize(subchannel_decode_q(q, &frame));
        benchmark::DoNotOptimize(frame);
        i = i + 1 == FRAMES ? 0 : i + 1;
    }
}
BENCHMARK(BM_extract_check_decode);

// The running position's update, as the scan makes it for each decoded frame.
void BM_position_update(benchmark::State &state) {
    const disc_sample &disc = sample();
    std::vector<subq> frames(FRAMES);
    std::vector<int> statuses(FRAMES);
    for (size_t i = 0; i < FRAMES; ++i) {
        statuses[i] = subchannel_decode_q(disc.q[i].data(), &frames[i]);
    }
    timing position = {1, 1, {0, 0, 0}, {0, 2, 0}};
    size_t i = 0;
    for (auto _ : state) {
        const subq &frame = frames[i];
        if (statuses[i] != 0) {
            timing_add(&position, 1);
        } else if (subq_mode(&frame) == 1) {
            position = frame.position;
        } else if (subq_mode(&frame) == 2) {
            timing_sync(&position, frame.catalog.abs_f);
        } else if (subq_mode(&frame) == 3) {
            timing_sync(&position, frame.recording.abs_f);
        } else {
            timing_add(&position, 1);
        }
        benchmark::DoNotOptimize(position);
        i = i + 1 == FRAMES ? 0 : i + 1;
    }
}
BENCHMARK(BM_position_update);

} // namespace

BENCHMARK_MAIN();
