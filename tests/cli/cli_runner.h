// Runs the built quorvia-cli (QM_CLI_PATH), or another program found on the
// PATH, with arguments, environment overrides and a working directory, and
// collects its output and exit status.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

extern char** environ;

namespace qm::test {

struct CliResult {
    int exitCode = -1;  // -1 when the program ended by a signal
    int signal = 0;
    std::string out;
    std::string err;
};

struct CliOptions {
    std::vector<std::pair<std::string, std::string>> env;  // added or replaced
    std::string cwd;                                       // empty: the test's
    int interruptAfterMs = -1;                             // send SIGINT after this long
    bool readStdout = true;  // false: the pipe has no reader from the start (a broken pipe)
    // Run in the child after its streams are in place, just before it
    // executes the program: only async-signal-safe calls belong here. A
    // false result ends the child with exit code 126.
    std::function<bool()> inChild;
    // Called with the child's pid on every round of the output loop.
    std::function<void(pid_t)> eachRound;
};

// `command` is the program (a path, or a name looked up on the PATH) and its
// arguments.
inline CliResult RunProgram(const std::vector<std::string>& command, const CliOptions& options = {}) {
    // Everything the child needs is built before fork: after it, the child
    // only changes directory, moves descriptors and executes.
    std::vector<std::string> envStrings;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        bool replaced = false;
        for (const auto& [key, value] : options.env) replaced |= entry.rfind(key + "=", 0) == 0;
        if (!replaced) envStrings.push_back(entry);
    }
    for (const auto& [key, value] : options.env) envStrings.push_back(key + "=" + value);
    std::vector<char*> envp;
    for (std::string& s : envStrings) envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> argStrings = command;
    std::vector<char*> argv;
    for (std::string& s : argStrings) argv.push_back(s.data());
    argv.push_back(nullptr);

    CliResult result;
    int outPipe[2], errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) return result;
    if (!options.readStdout) {
        // No reader from the start, so the first write fails whatever the timing.
        close(outPipe[0]);
        outPipe[0] = -1;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0) _exit(126);
        dup2(outPipe[1], STDOUT_FILENO);
        dup2(errPipe[1], STDERR_FILENO);
        const int null = open("/dev/null", O_RDONLY);
        if (null >= 0) dup2(null, STDIN_FILENO);
        if (options.inChild && !options.inChild()) _exit(126);
        execvpe(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    if (pid < 0) {
        if (outPipe[0] >= 0) close(outPipe[0]);
        close(errPipe[0]);
        return result;
    }

    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    bool interrupted = false;
    bool killed = false;
    struct pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = outPipe[0] >= 0 ? 2 : 1;
    while (open > 0) {
        if (options.eachRound) options.eachRound(pid);
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        if (options.interruptAfterMs >= 0 && !interrupted && elapsed >= options.interruptAfterMs) {
            kill(pid, SIGINT);
            interrupted = true;
        }
        if (!killed && elapsed > 120000) {  // a hung program fails the test instead of hanging it
            kill(pid, SIGKILL);
            killed = true;
        }
        if (poll(fds, 2, 20) < 0 && errno != EINTR) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buffer[65536];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    return result;
}

inline CliResult RunCli(const std::vector<std::string>& args, const CliOptions& options = {}) {
    std::vector<std::string> command = {QM_CLI_PATH};
    command.insert(command.end(), args.begin(), args.end());
    return RunProgram(command, options);
}

}  // namespace qm::test
