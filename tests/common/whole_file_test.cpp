#include "common/whole_file.h"

#include <gtest/gtest.h>
#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#endif

#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/error_record.h"
#include "common/utf.h"
#include "common/os/error_codes.h"
#include "support/exclusive_open.h"
#include "support/path_text.h"
#include "support/system_text.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

std::u16string U(const fs::path& path) { return test::PathText(path); }

std::u16string SystemText(uint32_t code) { return test::SystemTextFor(code); }

std::u16string Expected(const char16_t* context, const fs::path& path, uint32_t code) {
    return FormatText(context, U(path)) + u":" + SystemText(code);
}

// A folder on the way is missing: Linux says ENOENT, as for the file itself;
// Windows has a code of its own, ERROR_PATH_NOT_FOUND.
#if defined(_WIN32)
constexpr uint32_t kPathNotFound = 3;
#else
constexpr uint32_t kPathNotFound = os::kErrorNotFound;
#endif

bool Write(const fs::path& path, std::string_view a, std::string_view b = {}) {
    return WriteWholeFile(U(path), a.data(), a.size(), b.data(), b.size());
}

// Names in `dir` other than the ones the test made: a leftover temporary file
// would show up here.
size_t EntryCount(const fs::path& dir) {
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir)) ++n;
    return n;
}

// On a volume of 64 KiB that a 256 KiB list cannot fit: the replaced file
// must survive the failed write byte for byte, no temporary file may be left
// behind, and the space it took must be free again.
void CheckFullDisk(const fs::path& volume, uint32_t diskFullCode) {
    std::string old(20000, '\0');
    for (size_t i = 0; i < old.size(); ++i) old[i] = static_cast<char>(i * 7 + 3);
    const fs::path file = volume / "list.txt";
    ASSERT_TRUE(Write(file, old));

    const std::string huge(256 * 1024, 'x');
    EXPECT_FALSE(Write(file, "\xEF\xBB\xBF", huge));
    EXPECT_EQ(GetLastErrorText(), Expected(u"写入文件 %s 失败", file, diskFullCode));
    EXPECT_EQ(test::ReadBytes(file), old);
    EXPECT_EQ(EntryCount(volume), 1u);

    EXPECT_TRUE(Write(file, "short"));
    EXPECT_EQ(test::ReadBytes(file), "short");
}

TEST(ReadWholeFile, ReadsContentAndEmptyFiles) {
    test::TempDir dir;
    std::vector<uint8_t> buffer{1, 2, 3};
    size_t read = 99;
    ASSERT_TRUE(ReadWholeFile(U(dir.Write("empty", "")), buffer, read, 100));
    EXPECT_EQ(read, 0u);
    EXPECT_TRUE(buffer.empty());

    const std::string content("a\0b\xFF\r\n", 6);
    ASSERT_TRUE(ReadWholeFile(U(dir.Write("数据.bin", content)), buffer, read, 6));
    EXPECT_EQ(read, 6u);
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), content);
}

TEST(ReadWholeFile, LimitIsInclusive) {
    test::TempDir dir;
    const auto file = dir.Write("f", std::string(10, 'x'));
    std::vector<uint8_t> buffer;
    size_t read = 0;
    EXPECT_TRUE(ReadWholeFile(U(file), buffer, read, 10));
    EXPECT_FALSE(ReadWholeFile(U(file), buffer, read, 9));
    EXPECT_EQ(GetLastErrorText(), FormatText(u"文件 %s 超过最大限制", U(file)));
    EXPECT_TRUE(buffer.empty());
    EXPECT_EQ(read, 0u);
}

TEST(ReadWholeFile, FailureTexts) {
    test::TempDir dir;
    std::vector<uint8_t> buffer;
    size_t read = 0;
    EXPECT_FALSE(ReadWholeFile(U(dir / "missing"), buffer, read, 100));
    EXPECT_EQ(GetLastErrorText(), Expected(u"打开文件 %s 失败", dir / "missing", os::kErrorNotFound));

    // Opening a directory succeeds on Linux (and is refused on Windows); it
    // must fail as a read either way.
    EXPECT_FALSE(ReadWholeFile(U(dir.path()), buffer, read, 1u << 30));
    EXPECT_EQ(GetLastErrorText(), Expected(u"读取文件 %s 失败", dir.path(), os::kErrorIsDirectory));
    EXPECT_TRUE(buffer.empty());
}

#if !defined(_WIN32)
// Windows has no named pipe in the file system's own name space.
TEST(ReadWholeFile, FifoWithoutWriterDoesNotHang) {
    test::TempDir dir;
    const fs::path fifo = dir / "pipe";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::vector<uint8_t> buffer;
    size_t read = 1;
    EXPECT_TRUE(ReadWholeFile(U(fifo), buffer, read, 100));
    EXPECT_EQ(read, 0u);
}

#endif

TEST(WriteWholeFile, WritesBothBlocksAndSkipsEmptyOnes) {
    test::TempDir dir;
    const fs::path file = dir / "list.txt";
    ASSERT_TRUE(Write(file, "\xEF\xBB\xBF", "text"));
    EXPECT_EQ(test::ReadBytes(file), "\xEF\xBB\xBF" "text");
    ASSERT_TRUE(WriteWholeFile(U(file), nullptr, 5, "xy", 2));
    EXPECT_EQ(test::ReadBytes(file), "xy");
    ASSERT_TRUE(Write(file, ""));
    EXPECT_TRUE(fs::exists(file));
    EXPECT_EQ(fs::file_size(file), 0u);
    EXPECT_EQ(EntryCount(dir.path()), 1u);
}

#if !defined(_WIN32)
// Modes and symbolic links as Linux has them: Windows has no mode bits, and
// its symbolic links need a privilege that neither Wine nor an ordinary
// account has.
TEST(WriteWholeFile, NewFileGetsUmaskModeReplacedFileKeepsItsMode) {
    test::TempDir dir;
    const mode_t oldMask = umask(022);
    const fs::path created = dir / "new";
    ASSERT_TRUE(Write(created, "a"));
    struct stat st;
    ASSERT_EQ(stat(created.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);

    const fs::path kept = dir.Write("kept", "old");
    ASSERT_EQ(chmod(kept.c_str(), 0640), 0);
    ASSERT_TRUE(Write(kept, "new"));
    ASSERT_EQ(stat(kept.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(test::ReadBytes(kept), "new");
    umask(oldMask);
}

TEST(WriteWholeFile, WritesThroughSymbolicLinks) {
    test::TempDir dir;
    fs::create_directory(dir / "real");
    const fs::path target = dir.Write("real/list.txt", "old");
    fs::create_symlink("real/list.txt", dir / "hop");  // relative to the link's directory
    fs::create_symlink(dir / "hop", dir / "link");
    ASSERT_TRUE(Write(dir / "link", "new"));
    EXPECT_TRUE(fs::is_symlink(dir / "link"));
    EXPECT_TRUE(fs::is_symlink(dir / "hop"));
    EXPECT_EQ(test::ReadBytes(target), "new");
    EXPECT_EQ(EntryCount(dir / "real"), 1u);

    // A dangling link creates the file it names.
    fs::create_symlink("real/fresh.txt", dir / "dangling");
    ASSERT_TRUE(Write(dir / "dangling", "made"));
    EXPECT_TRUE(fs::is_symlink(dir / "dangling"));
    EXPECT_EQ(test::ReadBytes(dir / "real/fresh.txt"), "made");

    fs::create_symlink("loop2", dir / "loop1");
    fs::create_symlink("loop1", dir / "loop2");
    EXPECT_FALSE(Write(dir / "loop1", "x"));
    EXPECT_EQ(GetLastErrorText(), Expected(u"创建文件 %s 失败", dir / "loop1", ELOOP));
}

#endif

TEST(WriteWholeFile, CreateFailures) {
    test::TempDir dir;
    EXPECT_FALSE(Write(dir / "no/such/dir/f.txt", "x"));
    EXPECT_EQ(GetLastErrorText(), Expected(u"创建文件 %s 失败", dir / "no/such/dir/f.txt", kPathNotFound));

    fs::create_directory(dir / "sub");
    EXPECT_FALSE(Write(dir / "sub", "x"));
    EXPECT_EQ(GetLastErrorText(), Expected(u"创建文件 %s 失败", dir / "sub", os::kErrorIsDirectory));
    EXPECT_TRUE(fs::is_directory(dir / "sub"));
}

#if defined(_WIN32)
// Another program holding the list open without sharing it: the write fails
// with the system's reason and the content stays as it was.
TEST(WriteWholeFile, FileHeldOpenWithoutSharingIsLeftAlone) {
    test::TempDir dir;
    const fs::path file = dir.Write("held.txt", "old");
    std::u16string reason;
    {
        test::ExclusiveOpen held(file);
        ASSERT_TRUE(held.valid());
        EXPECT_FALSE(Write(file, "new"));
        reason = GetLastErrorText();
    }
    // The new content is written beside it; putting it in place fails.
    EXPECT_EQ(reason.rfind(FormatText(u"写入文件 %s 失败", U(file)) + u":", 0), 0u) << Utf16ToUtf8(reason);
    EXPECT_EQ(test::ReadBytes(file), "old");
    EXPECT_EQ(EntryCount(dir.path()), 1u);
}

// The null device takes any content, directly: there is no folder to put a
// temporary file in.
TEST(WriteWholeFile, TheNullDeviceIsWrittenDirectly) {
    EXPECT_TRUE(WriteWholeFile(u"NUL", "data", 4, "more", 4));
    EXPECT_TRUE(WriteWholeFile(u"nul", "data", 4, nullptr, 0));
    EXPECT_TRUE(WriteWholeFile(u"\\\\.\\NUL", "data", 4, nullptr, 0));
    // The reserved name stands for the device in any folder.
    test::TempDir dir;
    EXPECT_TRUE(Write(dir / "NUL", "data"));
    EXPECT_EQ(EntryCount(dir.path()), 0u);
    // A longer name is an ordinary file.
    EXPECT_TRUE(Write(dir / "NULL", "data"));
    EXPECT_EQ(test::ReadBytes(dir / "NULL"), "data");
}

// A read-only file is not replaced: the write fails with the system's
// reason, its content and attribute stay, and no temporary file is left.
TEST(WriteWholeFile, ReadOnlyFileIsLeftAlone) {
    test::TempDir dir;
    const fs::path file = dir.Write("locked.txt", "old");
    const std::wstring wide = file.wstring();
    ASSERT_TRUE(SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(Write(file, "new"));
    const std::u16string reason = GetLastErrorText();
    EXPECT_EQ(GetLastErrorCode(), static_cast<uint32_t>(ERROR_ACCESS_DENIED)) << Utf16ToUtf8(reason);
    EXPECT_NE(reason.find(U(file)), std::u16string::npos) << Utf16ToUtf8(reason);
    EXPECT_EQ(test::ReadBytes(file), "old");
    EXPECT_EQ(EntryCount(dir.path()), 1u);
    EXPECT_NE(GetFileAttributesW(wide.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);  // so the folder can be removed
}

// A full disk: make test-windows maps a small volume (a tmpfs of 64 KiB,
// seen through Wine's drive for the root) and names it in
// QUORVIA_TEST_SMALL_VOLUME; without one the case cannot be made.
TEST(WriteWholeFile, FullDiskLeavesTheOldFileIntact) {
    const char* volume = std::getenv("QUORVIA_TEST_SMALL_VOLUME");
    if (!volume || !*volume) GTEST_SKIP() << "no small volume is mapped for this run";
    const fs::path root(volume);
    for (const auto& entry : fs::directory_iterator(root)) fs::remove_all(entry.path());
    CheckFullDisk(root, ERROR_DISK_FULL);
    fs::remove(root / "list.txt");
}

// A path of more than 260 characters is reached through the long form.
TEST(WholeFile, LongPathsAreWrittenAndRead) {
    test::TempDir dir;
    fs::path deep = dir.path();
    for (int i = 0; i < 6; ++i) deep /= std::string(50, static_cast<char>('a' + i));
    fs::create_directories(deep);
    const fs::path file = deep / "list.txt";
    ASSERT_GT(U(file).size(), 260u);
    ASSERT_TRUE(Write(file, "long", "path"));
    std::vector<uint8_t> buffer;
    size_t read = 0;
    ASSERT_TRUE(ReadWholeFile(U(file), buffer, read, 100));
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), "longpath");
}
#else
// Linux only: /dev/null and /dev/full, another user's permissions (fork and
// setuid) and a full disk (a small tmpfs). Windows has no such devices, its
// permissions are not bits, and a full disk cannot be made under Wine.
TEST(WriteWholeFile, DevicesAreWrittenDirectly) {
    EXPECT_TRUE(Write("/dev/null", "data", "more"));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    EXPECT_TRUE(Write("/dev/full", ""));  // nothing to write, nothing fails
    EXPECT_FALSE(Write("/dev/full", "\xEF\xBB\xBF", "text"));
    EXPECT_EQ(GetLastErrorText(), Expected(u"写入文件 %s 失败", "/dev/full", ENOSPC));
    EXPECT_EQ(GetLastErrorCode(), static_cast<uint32_t>(ENOSPC));
}

// Runs `body` in a child process under an unprivileged user (root passes
// every permission check); its result is the child's exit code.
template <class Body>
int RunUnprivileged(Body body) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(100);
        _exit(body());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 101;
}

TEST(WriteWholeFile, PermissionsOfFileAndDirectoryAreRespected) {
    test::TempDir dir;
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    // A read-only file in a writable directory is not replaced.
    fs::create_directory(dir / "open");
    ASSERT_EQ(chmod((dir / "open").c_str(), 0777), 0);
    const fs::path locked = dir.Write("open/locked.txt", "old");
    ASSERT_EQ(chmod(locked.c_str(), 0444), 0);
    EXPECT_EQ(RunUnprivileged([&] {
                  if (Write(locked, "new")) return 1;
                  return GetLastErrorText() == Expected(u"创建文件 %s 失败", locked, EACCES) ? 0 : 2;
              }),
              0);
    EXPECT_EQ(test::ReadBytes(locked), "old");

    // A writable file in a directory that takes no new entries is written in place.
    fs::create_directory(dir / "closed");
    const fs::path writable = dir.Write("closed/list.txt", "old");
    ASSERT_EQ(chmod(writable.c_str(), 0666), 0);
    ASSERT_EQ(chmod((dir / "closed").c_str(), 0755), 0);
    EXPECT_EQ(RunUnprivileged([&] { return Write(writable, "new") ? 0 : 1; }), 0);
    EXPECT_EQ(test::ReadBytes(writable), "new");
    EXPECT_EQ(EntryCount(dir / "closed"), 1u);
}

// A small tmpfs that fills up.
TEST(WriteWholeFile, FullDiskLeavesTheOldFileIntact) {
    test::TempDir dir;
    const fs::path mountPoint = dir / "small";
    fs::create_directory(mountPoint);
    if (mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "mounting a tmpfs is not permitted here";
    struct Unmount {
        const fs::path& at;
        ~Unmount() { umount2(at.c_str(), MNT_DETACH); }
    } unmount{mountPoint};
    CheckFullDisk(mountPoint, ENOSPC);
}

// The in-place write into a directory that takes no new entries: on a full
// disk it must fail before the old content is touched, and where the space is
// there it writes longer and shorter content exactly.
TEST(WriteWholeFile, InPlaceWriteOnAFullDiskLeavesTheOldFileIntact) {
    test::TempDir dir;
    const fs::path mountPoint = dir / "small";
    fs::create_directory(mountPoint);
    if (mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "mounting a tmpfs is not permitted here";
    struct Unmount {
        const fs::path& at;
        ~Unmount() { umount2(at.c_str(), MNT_DETACH); }
    } unmount{mountPoint};
    if (geteuid() != 0) GTEST_SKIP() << "the directory must belong to another user, which needs root";
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    ASSERT_EQ(chmod(mountPoint.c_str(), 0755), 0);  // no new entries for the unprivileged user

    std::string old(20000, '\0');
    for (size_t i = 0; i < old.size(); ++i) old[i] = static_cast<char>(i * 7 + 3);
    const fs::path file = mountPoint / "list.txt";
    ASSERT_TRUE(Write(file, old));
    ASSERT_EQ(chmod(file.c_str(), 0666), 0);
    // 16 pages in all, 5 for the list and 9 for this: 2 are left, while the
    // new content needs 10.
    const fs::path filler = mountPoint / "filler";
    ASSERT_TRUE(Write(filler, std::string(9 * 4096, 'f')));
    const std::string longer(40000, 'n');

    const std::u16string expected = Expected(u"写入文件 %s 失败", file, ENOSPC);
    EXPECT_EQ(RunUnprivileged([&] {
                  if (Write(file, longer)) return 1;
                  return GetLastErrorText() == expected ? 0 : 2;
              }),
              0);
    EXPECT_EQ(test::ReadBytes(file), old);
    EXPECT_EQ(fs::file_size(file), old.size());
    EXPECT_EQ(EntryCount(mountPoint), 2u);

    fs::remove(filler);
    EXPECT_EQ(RunUnprivileged([&] { return Write(file, longer) ? 0 : 1; }), 0);
    EXPECT_EQ(test::ReadBytes(file), longer);
    EXPECT_EQ(RunUnprivileged([&] { return Write(file, "sh", "ort") ? 0 : 1; }), 0);
    EXPECT_EQ(test::ReadBytes(file), "short");
    EXPECT_EQ(RunUnprivileged([&] { return Write(file, "") ? 0 : 1; }), 0);
    EXPECT_EQ(test::ReadBytes(file), "");
    EXPECT_EQ(EntryCount(mountPoint), 1u);
}

#endif

TEST(WholeFile, RoundTripThroughReadAndWrite) {
    test::TempDir dir;
    std::string bytes(300000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 131) >> 3);
    const fs::path file = dir / "big.bin";
    ASSERT_TRUE(Write(file, std::string_view(bytes).substr(0, 1000), std::string_view(bytes).substr(1000)));
    std::vector<uint8_t> buffer;
    size_t read = 0;
    ASSERT_TRUE(ReadWholeFile(U(file), buffer, read, bytes.size()));
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), bytes);
}

}  // namespace
}  // namespace qm
