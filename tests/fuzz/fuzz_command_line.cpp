// The command-line parser on arbitrary argument vectors: the input split at
// NUL bytes, after a program name.
#include "fuzz_support.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz_discard_stdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::vector<std::string> words = {"qscan"};
    std::string word;
    for (size_t i = 0; i < size && words.size() < 64; ++i) {
        if (data[i] == 0) {
            words.push_back(word);
            word.clear();
        } else {
            word += static_cast<char>(data[i]);
        }
    }
    if (size > 0) {
        words.push_back(word);
    }
    std::vector<char *> argv;
    for (std::string &w : words) {
        argv.push_back(w.data());
    }
    argv.push_back(nullptr);
    const int argc = static_cast<int>(words.size());

    scan_options options;
    const int status = scan_parse_command_line(argc, argv.data(), &options);
    if (status == 0) {
        // The drive name is the last argument and nothing before it is one.
        if (options.device_name != argv[argc - 1]) {
            std::abort();
        }
        for (int i = 1; i < argc - 1; ++i) {
            if (argv[i][0] != '-' || std::strchr("rptcie", argv[i][1]) == nullptr ||
                argv[i][1] == '\0') {
                std::abort();
            }
        }
    } else {
        scan_print_usage(argc, argv.data());
    }
    return 0;
}
