// The file and directory services of the OS layer, as the range reader, the
// enumeration and the file hashing use them. Written against the layer only,
// so the same checks hold on every platform.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "common/os/directory.h"
#include "common/os/error_codes.h"
#include "common/os/file.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

std::u16string U16(const std::filesystem::path& path) { return path.u16string(); }

// Now as FILETIME, from the standard clock (whose epoch is 1970 UTC).
uint64_t FileTimeNow() {
    const auto since1970 = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::system_clock::now().time_since_epoch());
    return 116444736000000000ull + static_cast<uint64_t>(since1970.count()) * 10;
}

class OsFileTest : public ::testing::Test {
protected:
    test::TempDir dir_;
};

TEST_F(OsFileTest, OpenHandleAndPathDescribeTheSameFile) {
    const uint64_t before = FileTimeNow();
    const std::u16string file = U16(dir_.Write("ten.bin", "0123456789"));
    os::UniqueFile handle = os::OpenForReading(file);
    ASSERT_TRUE(handle.valid());

    os::FileAttributes open, named;
    ASSERT_TRUE(os::GetHandleAttributes(handle.get(), open));
    ASSERT_TRUE(os::GetPathAttributes(file, named));
    EXPECT_EQ(open.kind, os::FileKind::Regular);
    EXPECT_EQ(open.size, 10u);
    EXPECT_EQ(open.identity, named.identity);
    EXPECT_EQ(open.lastWriteTime, named.lastWriteTime);
    // File systems keep times coarser than the clock, and some round down
    // to two seconds: a window of a minute either way catches a wrong epoch
    // or unit, not the rounding.
    const uint64_t minute = 60ull * 10000000ull;
    EXPECT_GT(open.lastWriteTime + minute, before);
    EXPECT_LT(open.lastWriteTime, FileTimeNow() + minute);

    os::FileAttributes other;
    ASSERT_TRUE(os::GetPathAttributes(U16(dir_.Write("other.bin", "x")), other));
    EXPECT_FALSE(other.identity == open.identity);
}

TEST_F(OsFileTest, ReadsAndSeeksWithinTheFile) {
    os::UniqueFile handle = os::OpenForReading(U16(dir_.Write("ten.bin", "0123456789")));
    ASSERT_TRUE(handle.valid());
    os::AdviseSequentialRead(handle.get());

    uint64_t end = 0;
    ASSERT_TRUE(os::SeekFile(handle.get(), 0, os::SeekOrigin::End, &end));
    EXPECT_EQ(end, 10u);
    uint64_t at = 0;
    ASSERT_TRUE(os::SeekFile(handle.get(), 3, os::SeekOrigin::Begin, &at));
    EXPECT_EQ(at, 3u);
    ASSERT_TRUE(os::SeekFile(handle.get(), 2, os::SeekOrigin::Current, &at));
    EXPECT_EQ(at, 5u);

    char bytes[16] = {};
    std::string got;
    int64_t n;
    while ((n = os::ReadFileData(handle.get(), bytes, 3)) > 0) got.append(bytes, static_cast<size_t>(n));
    EXPECT_EQ(n, 0) << "the end reads as 0, not as a failure";
    EXPECT_EQ(got, "56789");
}

TEST_F(OsFileTest, MissingPathsAndDirectoriesAreNoFilesToRead) {
    const std::u16string missing = U16(dir_ / "missing.bin");
    EXPECT_FALSE(os::OpenForReading(missing).valid());
    EXPECT_EQ(os::LastErrorCode(), os::kErrorNotFound);
    os::FileAttributes attributes;
    EXPECT_FALSE(os::GetPathAttributes(missing, attributes));
    EXPECT_EQ(os::LastErrorCode(), os::kErrorNotFound);

    const std::u16string folder = U16(dir_.path());
    ASSERT_TRUE(os::GetPathAttributes(folder, attributes));
    EXPECT_EQ(attributes.kind, os::FileKind::Directory);
    // A directory either refuses to open as a file, with the is-a-directory
    // code, or opens and says what it is; it never passes as a file.
    os::UniqueFile handle = os::OpenForReading(folder);
    if (handle.valid()) {
        ASSERT_TRUE(os::GetHandleAttributes(handle.get(), attributes));
        EXPECT_EQ(attributes.kind, os::FileKind::Directory);
    } else {
        EXPECT_EQ(os::LastErrorCode(), os::kErrorIsDirectory);
    }
    EXPECT_FALSE(os::IsDevicePath(folder));
}

TEST_F(OsFileTest, DiskQueriesRefuseAPlainFile) {
    os::UniqueFile handle = os::OpenForReading(U16(dir_.Write("f", "abc")));
    ASSERT_TRUE(handle.valid());
    uint64_t length = 77;
    EXPECT_FALSE(os::QueryDiskLength(handle.get(), length));
    EXPECT_EQ(length, 77u) << "a refused query leaves the result alone";
}

TEST_F(OsFileTest, ListsEveryEntryButTheDotsWithItsKindAndSize) {
    dir_.Write("a.txt", "12345");
    dir_.Write("sub/inner.txt", "x");
    dir_.Write("empty", "");
    os::DirectoryListing listing;
    ASSERT_TRUE(listing.Open(U16(dir_.path())));
    os::FileAttributes self;
    ASSERT_TRUE(os::GetPathAttributes(U16(dir_.path()), self));
    EXPECT_EQ(listing.Identity(), self.identity);

    struct Seen {
        std::u16string name;
        bool isDirectory;
        uint64_t size;
        bool operator<(const Seen& other) const { return name < other.name; }
    };
    std::vector<Seen> seen;
    os::DirectoryEntry entry;
    while (listing.Next(entry)) {
        EXPECT_TRUE(entry.known);
        if (!entry.isDirectory) {
            os::FileAttributes file;
            ASSERT_TRUE(os::GetPathAttributes(U16(dir_.path() / std::filesystem::path(entry.name)), file));
            EXPECT_EQ(entry.lastWriteTime, file.lastWriteTime);
        }
        seen.push_back({entry.name, entry.isDirectory, entry.isDirectory ? 0 : entry.size});
    }
    EXPECT_EQ(listing.ErrorCode(), 0u);
    EXPECT_FALSE(listing.Next(entry)) << "the end stays the end";
    std::sort(seen.begin(), seen.end());
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].name, u"a.txt");
    EXPECT_EQ(seen[0].size, 5u);
    EXPECT_FALSE(seen[0].isDirectory);
    EXPECT_EQ(seen[1].name, u"empty");
    EXPECT_EQ(seen[1].size, 0u);
    EXPECT_EQ(seen[2].name, u"sub");
    EXPECT_TRUE(seen[2].isDirectory);
}

TEST_F(OsFileTest, ListingFailsToStartOnAMissingPathOrAFile) {
    os::DirectoryListing listing;
    EXPECT_FALSE(listing.Open(U16(dir_ / "missing")));
    EXPECT_EQ(os::LastErrorCode(), os::kErrorNotFound);
    EXPECT_FALSE(listing.Open(U16(dir_.Write("file", "x"))));
    EXPECT_EQ(os::LastErrorCode(), os::kErrorNotDirectory);
    os::DirectoryEntry entry;
    EXPECT_FALSE(listing.Next(entry));
}

TEST_F(OsFileTest, PathsBeyondTheOldLengthLimitWork) {
    // Six levels of 60 characters: past the 260 characters at which Windows
    // needs the long form of a path.
    std::filesystem::path deep = dir_.path();
    for (char c = 'a'; c < 'g'; ++c) deep /= std::string(60, c);
    std::error_code error;
    std::filesystem::create_directories(deep, error);
    if (error) GTEST_SKIP() << "the test's own setup cannot make so deep a folder here";
    const std::filesystem::path file = deep / "deep.bin";
    dir_.Write(std::filesystem::relative(file, dir_.path()).string(), "deep");
    ASSERT_GT(U16(file).size(), 300u);

    os::UniqueFile handle = os::OpenForReading(U16(file));
    ASSERT_TRUE(handle.valid());
    char bytes[8] = {};
    EXPECT_EQ(os::ReadFileData(handle.get(), bytes, sizeof bytes), 4);
    os::DirectoryListing listing;
    ASSERT_TRUE(listing.Open(U16(deep)));
    os::DirectoryEntry entry;
    ASSERT_TRUE(listing.Next(entry));
    EXPECT_EQ(entry.name, u"deep.bin");
    EXPECT_EQ(entry.size, 4u);
}

TEST(OsPathsTest, CurrentDirectoryAndProgramAreAbsolute) {
    const std::u16string current = os::GetCurrentDirectoryPath();
    ASSERT_FALSE(current.empty());
    EXPECT_TRUE(std::filesystem::path(current).is_absolute());
    EXPECT_EQ(std::filesystem::path(current), std::filesystem::current_path());
    const std::u16string program = os::GetProgramPath();
    ASSERT_FALSE(program.empty());
    EXPECT_TRUE(std::filesystem::path(program).is_absolute());
    EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::path(program)));
}

}  // namespace
}  // namespace qm
