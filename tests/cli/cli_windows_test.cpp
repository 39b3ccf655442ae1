// quorvia-cli.exe in what Windows gives it: standard output that cannot be
// written, arguments in UTF-16 with either separator, and paths beyond the
// old 260-character limit. (The POSIX streams and signals are checked by
// cli_streams_test.cpp, which only the Linux build has.)
#include <gtest/gtest.h>
#include <windows.h>

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

constexpr std::string_view kAbcCrc32 = "352441C2";

std::string SystemText(uint32_t code) {
    std::u16string text;
    GetSystemErrorMessage(code, text);
    return Utf16ToUtf8(text);
}

class CliWindowsTest : public ::testing::Test {
protected:
    CliResult Run(const std::vector<std::string>& args, test::CliOptions options = {}) const {
        if (options.cwd.empty()) options.cwd = test::Utf8Path(dir_.path());
        return test::RunCli(args, options);
    }
    test::TempDir dir_;
};

// Standard output that refuses the output fails the run with the system's
// reason, for the list of hash and the report of verify alike.
TEST_F(CliWindowsTest, OutputThatCannotBeWrittenFailsWithItsReason) {
    dir_.Write("d/f", "abc");
    ASSERT_EQ(Run({"hash", "-a", "crc32", "-o", "d/l.sfv", "--format=sfv", "d/f"}).exitCode, 0);
    const struct {
        const char* what;
        bool readStdout;
        bool noStdout;
        uint32_t code;
    } cases[] = {{"a pipe nobody reads", false, false, ERROR_NO_DATA},
                 {"no standard output", true, true, ERROR_INVALID_HANDLE}};
    for (const auto& c : cases) {
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"hash", "-a", "crc32", "d/f"}, {"verify", "d/l.sfv"}}) {
            test::CliOptions options;
            options.readStdout = c.readStdout;
            options.noStdout = c.noStdout;
            const CliResult r = Run(args, options);
            EXPECT_EQ(r.exitCode, 2) << c.what << ", " << args[0];
            const std::string reason = "写入标准输出失败:" + SystemText(c.code) + "\n";
            EXPECT_TRUE(r.err.ends_with(reason)) << c.what << ", " << args[0] << ": " << r.err;
        }
    }
}

// Arguments arrive as UTF-16 whatever the code page; paths may use '\' or
// '/', and the list and the report name files with '\'.
TEST_F(CliWindowsTest, ArgumentsInUtf16WithEitherSeparator) {
    dir_.Write("目录/子目录/文件.bin", "abc");
    dir_.Write("目录/其他.bin", "abc");
    CliResult r = Run({"hash", "-a", "crc32", "目录/子目录\\文件.bin", "目录\\其他.bin"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const std::string crc(kAbcCrc32);
    // Grouped by folder in the order of the inputs.
    EXPECT_EQ(r.out, "; Hash: CRC32\r\n\r\n" + crc + "\t\t子目录\\文件.bin\r\n" + crc + "\t\t其他.bin\r\n");

    r = Run({"hash", "-a", "crc32", "-o", "目录/列表.txt", "目录"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    ASSERT_TRUE(fs::exists(dir_.path() / u8"目录" / u8"列表.txt"));
    r = Run({"verify", "目录\\列表.txt"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "其他.bin\t文件检查正确\n子目录\\文件.bin\t文件检查正确\n");

    r = Run({"hash", "目录/没有这个文件"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "以下文件或目录已不存在，请检查后再重新尝试：\n目录\\没有这个文件\n");
}

// A file whose path is far beyond 260 characters is hashed and verified
// through the \\?\ form, given relative or absolute.
TEST_F(CliWindowsTest, PathsBeyondTheOldLengthLimit) {
    std::wstring folder = L"\\\\?\\" + fs::absolute(dir_.path()).make_preferred().wstring();
    std::string relative;
    for (int level = 0; level < 12; ++level) {
        const std::string name = "level-" + std::to_string(level) + std::string(30, 'x');
        folder += L"\\" + fs::path(name).wstring();
        relative += (relative.empty() ? "" : "\\") + name;
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << GetLastError();
    }
    ASSERT_GT(folder.size(), 400u);
    const std::wstring file = folder + L"\\f.bin";
    const HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE) << GetLastError();
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(handle, "abc", 3, &written, nullptr));
    CloseHandle(handle);

    const std::string crc(kAbcCrc32);
    CliResult r = Run({"hash", "-a", "crc32", relative + "\\f.bin"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "; Hash: CRC32\r\n\r\n" + crc + "\t\tf.bin\r\n");

    const std::string absolute = test::Utf8Path((dir_.path() / relative).make_preferred());
    r = Run({"hash", "-a", "crc32", "-o", absolute + "\\l.sfv", "--format=sfv", absolute});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    r = Run({"verify", absolute + "\\l.sfv"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "f.bin\t文件检查正确\n");

    // The temporary folder's own removal cannot take such paths everywhere.
    std::error_code ignored;
    fs::remove_all(fs::path(L"\\\\?\\" + fs::absolute(dir_.path()).make_preferred().wstring() + L"\\" +
                            fs::path(relative.substr(0, relative.find('\\'))).wstring()),
                   ignored);
}

}  // namespace
}  // namespace qm
