// quorvia-cli and its surroundings: standard streams that cannot be written,
// stop signals, and inputs that are odd or cannot be examined. Each case runs
// the built program with the surroundings a shell or service manager gives it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/cli_runner.h"
#include "common/error_record.h"
#include "common/utf.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using test::CliResult;

std::string SystemText(int code) {
    std::u16string text;
    GetSystemErrorMessage(static_cast<uint32_t>(code), text);
    return Utf16ToUtf8(text);
}

enum class Stdout { Captured, DevFull, Closed, BrokenPipe };

struct Surroundings {
    Stdout out = Stdout::Captured;
    std::vector<int> ignored;  // signals the program inherits as ignored
    // Signals sent, in order, once the program has `openedName` open.
    std::vector<int> signals;
    std::string openedName;
    std::vector<std::string> cwdSteps;  // entered one by one after cwd: may pass the path limit
    bool unprivileged = false;          // run as nobody (root passes every permission check)
};

// Whether process `pid` holds a descriptor on a file named `name`.
bool HasOpen(pid_t pid, const std::string& name) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
        std::error_code linkError;
        const fs::path target = fs::read_symlink(entry.path(), linkError);
        if (!linkError && target.filename() == name) return true;
    }
    return false;
}

// Runs quorvia-cli in `cwd` with standard output as `how.out` says and
// standard error captured.
CliResult RunIn(const fs::path& cwd, const std::vector<std::string>& args, const Surroundings& how) {
    std::vector<std::string> strings = {QM_CLI_PATH};
    strings.insert(strings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& s : strings) argv.push_back(s.data());
    argv.push_back(nullptr);
    const std::string config = "XDG_CONFIG_HOME=" + (cwd / "config").string();

    CliResult result;
    int outPipe[2], errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) return result;
    if (how.out == Stdout::BrokenPipe) {
        // No reader from the start, so the first write fails whatever the timing.
        close(outPipe[0]);
        outPipe[0] = -1;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(cwd.c_str()) != 0) _exit(126);
        for (const std::string& step : how.cwdSteps) {
            if (chdir(step.c_str()) != 0) _exit(126);
        }
        if (how.unprivileged && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) _exit(126);
        putenv(const_cast<char*>(config.c_str()));
        for (int signo : how.ignored) signal(signo, SIG_IGN);
        switch (how.out) {
        case Stdout::Captured:
        case Stdout::BrokenPipe:
            dup2(outPipe[1], STDOUT_FILENO);
            break;
        case Stdout::DevFull: {
            const int full = open("/dev/full", O_WRONLY);
            if (full < 0) _exit(125);
            dup2(full, STDOUT_FILENO);
            break;
        }
        case Stdout::Closed:
            close(STDOUT_FILENO);
            break;
        }
        dup2(errPipe[1], STDERR_FILENO);
        const int null = open("/dev/null", O_RDONLY);
        if (null >= 0) dup2(null, STDIN_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);

    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    size_t sent = 0;
    bool killed = false;
    struct pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = outPipe[0] >= 0 ? 2 : 1;
    while (open > 0) {
        if (sent < how.signals.size() && HasOpen(pid, how.openedName)) kill(pid, how.signals[sent++]);
        if (!killed && Clock::now() - start > std::chrono::seconds(120)) {  // a hang fails instead of hanging
            kill(pid, SIGKILL);
            killed = true;
        }
        if (poll(fds, 2, 10) < 0 && errno != EINTR) break;
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

class CliStreamsTest : public ::testing::Test {
protected:
    CliResult Run(const std::vector<std::string>& args, const Surroundings& how = {}) const {
        return RunIn(dir_.path(), args, how);
    }
    // The names in the test directory that start with '.': a temporary file
    // left behind by the list writer would be one.
    std::vector<std::string> HiddenNames() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(dir_.path())) {
            const std::string name = entry.path().filename().string();
            if (name.front() == '.') names.push_back(name);
        }
        return names;
    }
    test::TempDir dir_;
};

// Output that does not arrive is a failure with its reason, for both commands
// and every way standard output can refuse it.
TEST_F(CliStreamsTest, OutputThatCannotBeWrittenFailsWithItsReason) {
    dir_.Write("d/f", "abc");
    ASSERT_EQ(Run({"hash", "-a", "crc32", "-o", "list.sfv", "--format=sfv", "d"}).exitCode, 0);

    struct Case {
        Stdout out;
        int code;
        const char* what;
    };
    const Case cases[] = {{Stdout::DevFull, ENOSPC, "/dev/full"},
                          {Stdout::Closed, EBADF, "closed"},
                          {Stdout::BrokenPipe, EPIPE, "broken pipe"}};
    for (const Case& c : cases) {
        Surroundings how;
        how.out = c.out;
        how.ignored = {SIGPIPE};
        const std::string reason = "写入标准输出失败:" + SystemText(c.code) + "\n";
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"verify", "list.sfv"}, std::vector<std::string>{"hash", "d"},
              std::vector<std::string>{"algorithms"}, std::vector<std::string>{"--help"}}) {
            const CliResult r = Run(args, how);
            EXPECT_EQ(r.exitCode, 2) << c.what << " " << args[0] << "\n" << r.err;
            EXPECT_NE(r.err.find(reason), std::string::npos) << c.what << " " << args[0] << "\n" << r.err;
        }
    }
    // With SIGPIPE at its default the signal ends the program, as for any
    // filter in a pipeline.
    Surroundings how;
    how.out = Stdout::BrokenPipe;
    EXPECT_EQ(Run({"verify", "list.sfv"}, how).signal, SIGPIPE);
    // The same runs with a working standard output succeed.
    EXPECT_EQ(Run({"verify", "list.sfv"}).exitCode, 0);
}

// SIGTERM and SIGHUP stop a run as Ctrl+C does: no list, no temporary file,
// 128 plus the signal's number; a signal inherited as ignored stays ignored.
TEST_F(CliStreamsTest, StopSignalsEndTheRunWithoutAList) {
    // A sparse file far too large to hash before the signal comes.
    dir_.Write("big/huge.bin", "");
    fs::resize_file(dir_ / "big/huge.bin", uint64_t{64} << 30);
    dir_.Write("old.txt", "old list");

    for (const auto& [signo, code] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}, std::pair{SIGHUP, 129}}) {
        Surroundings how;
        how.signals = {signo};
        how.openedName = "huge.bin";
        CliResult r = Run({"hash", "-o", "new.txt", "big"}, how);
        EXPECT_EQ(r.exitCode, code) << "signal " << signo << " ended it by " << r.signal << "\n" << r.err;
        EXPECT_FALSE(fs::exists(dir_ / "new.txt"));
        EXPECT_TRUE(r.out.empty());
        r = Run({"hash", "-o", "old.txt", "big"}, how);
        EXPECT_EQ(r.exitCode, code) << "signal " << signo;
        EXPECT_EQ(test::ReadBytes(dir_ / "old.txt"), "old list");
        EXPECT_EQ(HiddenNames(), std::vector<std::string>{});
    }

    // Ignored by the parent: SIGTERM and SIGHUP pass by, the SIGINT after
    // them stops the run.
    Surroundings how;
    how.ignored = {SIGTERM, SIGHUP};
    how.signals = {SIGTERM, SIGHUP, SIGINT};
    how.openedName = "huge.bin";
    const CliResult r = Run({"hash", "-o", "new.txt", "big"}, how);
    EXPECT_EQ(r.exitCode, 130) << "ended by signal " << r.signal;
    EXPECT_FALSE(fs::exists(dir_ / "new.txt"));
}

// Odd inputs: an empty argument, inputs that exist but cannot be examined,
// overlapping inputs and the list being written among the inputs.
TEST_F(CliStreamsTest, InputsAreExaminedOnceEachAndTheOwnListIsLeftOut) {
    dir_.Write("sub/a.txt", "abc");
    dir_.Write("sub/b.txt", "abc");
    const std::string crc = "352441C2";

    CliResult r = Run({"hash", "-a", "crc32", "sub", ""});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("文件或目录的路径不能为空。"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());

    r = Run({"hash", "-a", "crc32", "sub", "sub/a.txt", "sub/b.txt"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "; Hash: CRC32\r\n\r\n" + crc + "\t\ta.txt\r\n" + crc + "\t\tb.txt\r\n");
    EXPECT_NE(r.err.find("文件总数: 2 个 , 总大小: 6 字节"), std::string::npos) << r.err;

    // The first run writes the list; the second, after a.txt changed, must
    // not hash the old list into the new one.
    ASSERT_EQ(Run({"hash", "-a", "crc32", "--format=sfv", "-o", "sub/l.sfv", "sub"}).exitCode, 0);
    dir_.Write("sub/a.txt", "abcd");
    r = Run({"hash", "-a", "crc32", "--format=sfv", "-o", "sub/l.sfv", "sub"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(test::ReadBytes(dir_ / "sub/l.sfv"), "a.txt ED82CD11\nb.txt " + crc + "\n");

    // A symbolic link that loops exists but cannot be examined.
    fs::create_symlink("loop", dir_ / "loop");
    r = Run({"hash", "loop"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("loop:" + SystemText(ELOOP)), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("已不存在"), std::string::npos) << r.err;

    // A folder above the input that the user may not search.
    ASSERT_EQ(chmod(dir_.path().c_str(), 0755), 0);
    dir_.Write("locked/in/f", "abc");
    ASSERT_EQ(chmod((dir_ / "locked").c_str(), 0700), 0);
    Surroundings nobody;
    nobody.unprivileged = true;
    r = Run({"hash", "locked/in/f"}, nobody);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("locked/in/f:" + SystemText(EACCES)), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("已不存在"), std::string::npos) << r.err;
}

// A working directory whose path is beyond the length limit: a relative
// input there is reported with the system's reason.
TEST_F(CliStreamsTest, InputBelowAWorkingDirectoryBeyondThePathLimit) {
    const std::string level(250, 'x');
    Surroundings deep;
    {
        int fd = open(dir_.path().c_str(), O_RDONLY | O_DIRECTORY);
        ASSERT_GE(fd, 0);
        for (int i = 0; i < 20; ++i) {
            ASSERT_EQ(mkdirat(fd, level.c_str(), 0755), 0);
            const int next = openat(fd, level.c_str(), O_RDONLY | O_DIRECTORY);
            close(fd);
            ASSERT_GE(next, 0);
            fd = next;
            deep.cwdSteps.push_back(level);
        }
        const int file = openat(fd, "f.txt", O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(file, 0);
        close(file);
        close(fd);
    }
    const CliResult r = Run({"hash", "f.txt"}, deep);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("f.txt:" + SystemText(ENAMETOOLONG)), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("已不存在"), std::string::npos) << r.err;

    // Taken apart from the bottom: a path this long is beyond remove_all.
    const int top = open(dir_.path().c_str(), O_RDONLY | O_DIRECTORY);
    std::vector<int> fds = {top};
    for (int i = 0; i < 20 && fds.back() >= 0; ++i)
        fds.push_back(openat(fds.back(), level.c_str(), O_RDONLY | O_DIRECTORY));
    if (fds.back() >= 0) unlinkat(fds.back(), "f.txt", 0);
    for (size_t i = fds.size() - 1; i > 0; --i) {
        close(fds[i]);
        unlinkat(fds[i - 1], level.c_str(), AT_REMOVEDIR);
    }
    close(top);
}

}  // namespace
}  // namespace qm
