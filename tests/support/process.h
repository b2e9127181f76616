// Runs a program as a child process and keeps what it printed.
#pragma once

#include <map>
#include <string>
#include <vector>

struct process_result {
    std::string out;
    std::string err;
    int exit_status = -1; // -1 when the process did not exit normally
    int signal = 0;       // the signal that ended it, if any
};

// Runs program with args (argv[0] included) and the environment variables in
// env set on top of a clean environment (PATH kept). A child still running
// after timeout_seconds is killed, with its process group, and the test
// fails naming the command: a test fails, it never hangs.
process_result run_process(const std::string &program, const std::vector<std::string> &args,
                           const std::map<std::string, std::string> &env = {},
                           double timeout_seconds = 60);

// The tool under test, with the simulated drive X: holding image ("" for an
// empty drive).
process_result run_qscan(const std::vector<std::string> &options, const std::string &image);

// Whether 32-bit programs run where the test runs: the build's -m32 probe,
// asked at run time, since a host kernel may answer "Exec format error" where
// a guest's kernel does not.
bool kernel_runs_32bit();
