#include "support/process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string slurp(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

namespace {

process_result run_child(const std::string &program, const std::vector<std::string> &args,
                         const std::map<std::string, std::string> &env, double timeout_seconds);

// Every report qscan-report writes as JSON, kept for the schema's test.
void keep_json(const std::vector<std::string> &args, const process_result &r) {
#ifdef QSCAN_JSON_SAMPLES
    static int kept = 0;
    const bool json = std::find(args.begin(), args.end(), "--json") != args.end();
    if (!json || args.empty() || !args.front().ends_with("qscan-report") ||
        (r.exit_status != 0 && r.exit_status != 1)) {
        return;
    }
    const std::string path = std::string(QSCAN_JSON_SAMPLES) + "/" + std::to_string(getpid()) +
                             "-" + std::to_string(++kept) + ".json";
    std::ofstream(path, std::ios::binary) << r.out;
#else
    (void)args;
    (void)r;
#endif
}

} // namespace

process_result run_process(const std::string &program, const std::vector<std::string> &args,
                           const std::map<std::string, std::string> &env, double timeout_seconds) {
    process_result r = run_child(program, args, env, timeout_seconds);
    keep_json(args, r);
    return r;
}

namespace {

process_result run_child(const std::string &program, const std::vector<std::string> &args,
                         const std::map<std::string, std::string> &env, double timeout_seconds) {
    char out_path[] = "/tmp/qscan-out-XXXXXX";
    char err_path[] = "/tmp/qscan-err-XXXXXX";
    const int out_fd = mkstemp(out_path);
    const int err_fd = mkstemp(err_path);

    std::vector<std::string> env_strings;
    if (const char *path = std::getenv("PATH")) {
        env_strings.push_back(std::string("PATH=") + path);
    }
    for (const auto &[name, value] : env) {
        env_strings.push_back(name + "=" + value);
    }
    std::vector<char *> argv, envp;
    for (const std::string &arg : args) {
        argv.push_back(const_cast<char *>(arg.c_str()));
    }
    argv.push_back(nullptr);
    for (const std::string &entry : env_strings) {
        envp.push_back(const_cast<char *>(entry.c_str()));
    }
    envp.push_back(nullptr);

    fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        setpgid(0, 0); // what it starts can be killed with it
        dup2(out_fd, 1);
        dup2(err_fd, 2);
        execve(program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    setpgid(child, child);
    const int child_fd = static_cast<int>(syscall(SYS_pidfd_open, child, 0));
    pollfd exited = {child_fd, POLLIN, 0};
    if (child_fd >= 0 && poll(&exited, 1, static_cast<int>(timeout_seconds * 1000)) == 0) {
        kill(-child, SIGKILL);
        std::string command;
        for (const std::string &arg : args) {
            command += (command.empty() ? "" : " ") + arg;
        }
        char limit[32];
        std::snprintf(limit, sizeof limit, "%g", timeout_seconds);
        ADD_FAILURE() << "killed after " << limit << " s: " << command;
    }
    if (child_fd >= 0) {
        close(child_fd);
    }
    int status = 0;
    waitpid(child, &status, 0);
    close(out_fd);
    close(err_fd);

    process_result result;
    result.out = slurp(out_path);
    result.err = slurp(err_path);
    unlink(out_path);
    unlink(err_path);
    if (WIFEXITED(status)) {
        result.exit_status = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    return result;
}

} // namespace

process_result run_qscan(const std::vector<std::string> &options, const std::string &image) {
    std::vector<std::string> args = {QSCAN_EXE};
    args.insert(args.end(), options.begin(), options.end());
    return run_process(QSCAN_EXE, args, {{"CDSIM_X", image}});
}

bool kernel_runs_32bit() {
    static const bool runs = [] {
        const std::string probe = QSCAN_M32_PROBE;
        return !probe.empty() && run_process(probe, {probe}).out == "32-bit\n";
    }();
    return runs;
}
