// quorvia-cli and its surroundings: standard streams that cannot be written,
// stop signals, and inputs that are odd or cannot be examined. Each case runs
// the built program with the surroundings a shell or service manager gives it.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <grp.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_runner.h"
#include "common/error_record.h"
#include "common/utf.h"
#include "pipeline/read_thread.h"
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
    test::CliOptions options;
    options.cwd = cwd.string();
    options.env = {{"XDG_CONFIG_HOME", (cwd / "config").string()}};
    options.readStdout = how.out != Stdout::BrokenPipe;
    options.inChild = [&how] {
        for (const std::string& step : how.cwdSteps) {
            if (chdir(step.c_str()) != 0) return false;
        }
        if (how.unprivileged && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) return false;
        for (int signo : how.ignored) signal(signo, SIG_IGN);
        if (how.out == Stdout::DevFull) {
            const int full = open("/dev/full", O_WRONLY);
            if (full < 0 || dup2(full, STDOUT_FILENO) < 0) return false;
        } else if (how.out == Stdout::Closed) {
            close(STDOUT_FILENO);
        }
        return true;
    };
    size_t sent = 0;
    options.eachRound = [&how, &sent](pid_t pid) {
        if (sent < how.signals.size() && HasOpen(pid, how.openedName)) kill(pid, how.signals[sent++]);
    };
    std::vector<std::string> command = {QM_CLI_PATH};
    command.insert(command.end(), args.begin(), args.end());
    return test::RunProgram(command, options);
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

    // Beside it, a missing input is named too, after it: the run ends there.
    r = Run({"hash", "gone", "locked/in/f"}, nobody);
    EXPECT_EQ(r.exitCode, 2);
    const size_t locked = r.err.find("locked/in/f:" + SystemText(EACCES));
    const size_t gone = r.err.find("以下文件或目录已不存在，请检查后再重新尝试：\ngone\n");
    EXPECT_NE(locked, std::string::npos) << r.err;
    EXPECT_NE(gone, std::string::npos) << r.err;
    EXPECT_LT(locked, gone) << r.err;
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

// A chain of `depth` folders named `level` below `top`, with a file `f` in
// the levels `filesAt` names (1 is the first folder); made through
// descriptors, since its paths pass the length limit.
void MakeChain(const fs::path& top, const std::string& level, int depth, const std::set<int>& filesAt) {
    int fd = open(top.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    for (int i = 1; i <= depth; ++i) {
        ASSERT_EQ(mkdirat(fd, level.c_str(), 0755), 0) << i;
        const int next = openat(fd, level.c_str(), O_RDONLY | O_DIRECTORY);
        close(fd);
        ASSERT_GE(next, 0) << i;
        fd = next;
        if (filesAt.count(i)) {
            const int file = openat(fd, "f", O_WRONLY | O_CREAT, 0644);
            ASSERT_GE(file, 0);
            ASSERT_EQ(write(file, &i, sizeof i), static_cast<ssize_t>(sizeof i));
            close(file);
        }
    }
    close(fd);
}

// Taken apart from the bottom through the working directory, one level at a
// time: no path is ever longer than one name, and no descriptor per level
// is held (3,000 would pass the usual limit of open files).
void RemoveChain(const fs::path& top, const std::string& level, int depth) {
    const int home = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (home < 0 || chdir(top.c_str()) != 0) {
        if (home >= 0) close(home);
        return;
    }
    int levels = 0;
    while (levels < depth && chdir(level.c_str()) == 0) ++levels;
    for (; levels > 0; --levels) {
        unlink("f");
        if (chdir("..") != 0) break;
        rmdir(level.c_str());
    }
    if (fchdir(home) != 0) ADD_FAILURE() << "could not return to the working directory";
    close(home);
}

// Every entry below the directory `top` that is not a folder (links not
// followed), as paths relative to it. Walked with a list of open folders
// rather than by recursion, which a chain of thousands of folders would take
// past the stack (the sanitizers' frames are large), and with each folder
// opened from its parent's descriptor, since the paths pass the length limit.
void WalkFiles(int top, std::vector<std::string>& files) {
    std::vector<std::pair<int, std::string>> pending = {{dup(top), ""}};
    while (!pending.empty()) {
        auto [dirFd, prefix] = std::move(pending.back());
        pending.pop_back();
        ASSERT_GE(dirFd, 0) << prefix;
        DIR* listing = fdopendir(dirFd);
        ASSERT_NE(listing, nullptr) << prefix;
        while (const dirent* e = readdir(listing)) {
            const std::string name = e->d_name;
            if (name == "." || name == "..") continue;
            struct stat st;
            if (fstatat(dirFd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                ADD_FAILURE() << prefix << name;
                continue;
            }
            if (!S_ISDIR(st.st_mode)) {
                files.push_back(prefix + name);
                continue;
            }
            const int sub = openat(dirFd, e->d_name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            EXPECT_GE(sub, 0) << prefix << name;
            if (sub >= 0) pending.emplace_back(sub, prefix + name + "/");
        }
        closedir(listing);  // closes dirFd
    }
}

// A file whose size, as examined, is more than it holds: what a reader meets
// when a file is cut short while it reads it. Attribute files of the kernel
// report a page while holding a line.
std::string FindFileEndingBeforeItsSize() {
    for (const char* candidate : {"/sys/devices/system/cpu/online", "/sys/devices/system/cpu/possible",
                                  "/sys/kernel/mm/transparent_hugepage/enabled", "/sys/power/state"}) {
        std::error_code ec;
        const uint64_t size = fs::file_size(candidate, ec);
        if (ec || size == 0) continue;
        const std::string content = test::ReadBytes(candidate);
        if (!content.empty() && content.size() < size) return candidate;
    }
    return {};
}

// One tree with every kind of entry a careful user can meet, hashed as an
// unprivileged user: each file under it is either on the list with the digest
// an independent program computes, or on standard error with its reason, or
// inside a folder reported there. Nothing goes missing without a word, and
// nothing that failed is written into the saved list.
TEST_F(CliStreamsTest, HostileTreeEveryPathHashedRightOrReported) {
    ASSERT_EQ(chmod(dir_.path().c_str(), 0755), 0);
    const fs::path tree = dir_ / "tree";
    dir_.Write("tree/a.txt", "abc");
    std::string binary;
    for (int i = 0; i < (1 << 20); ++i) binary.push_back(static_cast<char>((i * 2654435761u) >> 24));
    dir_.Write("tree/sub/b.bin", binary);
    dir_.Write("tree/sub/empty", "");
    dir_.Write("tree/locked/inside.txt", "secret");
    ASSERT_EQ(chmod((tree / "locked").c_str(), 0700), 0);
    ASSERT_EQ(mkfifo((tree / "fifo").c_str(), 0644), 0);
    {
        const int sock = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ASSERT_GE(sock, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string path = (tree / "socket").string();
        ASSERT_LT(path.size(), sizeof address.sun_path);
        path.copy(address.sun_path, path.size());
        ASSERT_EQ(bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        close(sock);
    }
    fs::create_symlink("nowhere", tree / "dangling");
    fs::create_symlink("loop", tree / "loop");
    fs::create_symlink("/proc/version", tree / "proc-version");
    fs::create_symlink("/proc/sys/kernel/ostype", tree / "proc-ostype");
    const std::string shortened = FindFileEndingBeforeItsSize();
    if (!shortened.empty()) fs::create_symlink(shortened, tree / "shortened");
    // 3,000 levels of two bytes each pass the path limit part way down.
    const int depth = 3000;
    MakeChain(tree, "c", depth, {1, 1000, depth});
    struct ChainRemover {
        fs::path top;
        int depth;
        ~ChainRemover() { RemoveChain(top, "c", depth); }
    } remover{tree, depth};

    Surroundings nobody;
    nobody.unprivileged = true;
    const CliResult r = Run({"hash", "-a", "sha256", "tree"}, nobody);
    if (r.exitCode == 126) GTEST_SKIP() << "the unprivileged ids cannot be taken here";
    EXPECT_EQ(r.exitCode, 1) << r.err;

    // Standard output: the list, names relative to the tree.
    std::map<std::string, std::string> listed;
    {
        std::istringstream lines(r.out);
        for (std::string line; std::getline(lines, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();  // the list's own line ends
            if (line.empty() || line[0] == ';') continue;
            const size_t tabs = line.find("\t\t");
            ASSERT_NE(tabs, std::string::npos) << line;
            listed[line.substr(tabs + 2)] = line.substr(0, tabs);
        }
    }
    // Standard error: a full path and its reason on each line of a failure.
    std::map<std::string, std::string> reported;
    {
        std::istringstream lines(r.err);
        const std::string top = tree.string() + "/";
        for (std::string line; std::getline(lines, line);) {
            const size_t tab = line.find('\t');
            if (line.rfind(top, 0) != 0 || tab == std::string::npos) continue;
            reported[line.substr(top.size(), tab - top.size())] = line.substr(tab + 1);
        }
    }

    std::vector<std::string> files;
    {
        const int top = open(tree.c_str(), O_RDONLY | O_DIRECTORY);
        ASSERT_GE(top, 0);
        WalkFiles(top, files);
        close(top);
    }
    ASSERT_GT(files.size(), 10u);
    size_t hashed = 0;
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        if (const auto entry = listed.find(file); entry != listed.end()) {
            const CliResult reference = test::RunProgram({"sha256sum", (tree / file).string()});
            ASSERT_EQ(reference.exitCode, 0) << reference.err;
            std::string expected = reference.out.substr(0, 64);
            for (char& c : expected) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
            EXPECT_EQ(entry->second, expected);
            ++hashed;
            continue;
        }
        if (reported.count(file)) continue;
        bool insideReported = false;
        for (const auto& [path, reason] : reported)
            insideReported |= file.size() > path.size() && file.compare(0, path.size() + 1, path + "/") == 0;
        EXPECT_TRUE(insideReported) << "neither listed nor reported";
    }
    for (const auto& [name, digest] : listed) EXPECT_TRUE(fs::exists(tree / name)) << name;
    EXPECT_EQ(hashed, listed.size());
    for (const char* name : {"a.txt", "sub/b.bin", "sub/empty", "proc-version", "proc-ostype", "c/f"})
        EXPECT_TRUE(listed.count(name)) << name;
    EXPECT_EQ(listed.size(), 7u) << "the six above and the file 1,000 levels down";

    // The reasons: each the system's own text, or the program's for a kind of
    // file it does not read.
    EXPECT_EQ(reported["locked"], "打开目录失败:" + SystemText(EACCES));
    EXPECT_EQ(reported["dangling"], "打开文件失败:" + SystemText(ENOENT));
    EXPECT_EQ(reported["loop"], "打开文件失败:" + SystemText(ELOOP));
    EXPECT_EQ(reported["fifo"], "打开文件失败:不支持的文件类型。");
    EXPECT_EQ(reported["socket"], "打开文件失败:" + SystemText(ENXIO));
    if (shortened.empty()) {
        std::cout << "[   NOTE   ] no file here reports more than it holds; that case was not run\n";
    } else {
        EXPECT_EQ(reported["shortened"], Utf16ToUtf8(kChangedWhileReadText));
    }
    std::string deepest;
    for (const auto& [path, reason] : reported) {
        if (path.rfind("c/", 0) != 0) continue;
        EXPECT_EQ(deepest, "") << "one folder of the chain fails, and nothing below it is tried";
        deepest = path;
        EXPECT_EQ(reason, "打开目录失败:" + SystemText(ENAMETOOLONG));
    }
    EXPECT_GT(deepest.size(), 4096u - tree.string().size() - 4) << "it fails where the path passes the limit";

    // Written to a file, the list holds what standard output held, and
    // nothing that failed.
    // (Names in a saved list are relative to its folder.)
    ASSERT_EQ(chmod(dir_.path().c_str(), 0777), 0);
    const CliResult saved = Run({"hash", "-a", "sha256", "-o", "tree.txt", "tree"}, nobody);
    EXPECT_EQ(saved.exitCode, 1) << saved.err;
    const std::string list = test::ReadBytes(dir_ / "tree.txt");
    for (const auto& [name, digest] : listed)
        EXPECT_NE(list.find(digest + "\t\ttree/" + name + "\r\n"), std::string::npos) << name;
    for (const auto& [path, reason] : reported) EXPECT_EQ(list.find("tree/" + path + "\r\n"), std::string::npos) << path;
}

}  // namespace
}  // namespace qm
