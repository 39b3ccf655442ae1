#include "common/error_record.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

namespace qm {
namespace {

std::u16string SystemText(uint32_t code) {
    std::u16string text;
    EXPECT_TRUE(GetSystemErrorMessage(code, text));
    return text;
}

TEST(ErrorRecord, ContextColonAndSystemText) {
    const std::u16string text = SetLastErrorText(os::kErrorNotFound, u"打开文件 %s 失败", u"/tmp/x.txt");
    EXPECT_EQ(text, u"打开文件 /tmp/x.txt 失败:" + SystemText(os::kErrorNotFound));
    EXPECT_EQ(GetLastErrorText(), text);
    EXPECT_EQ(GetLastErrorCode(), static_cast<uint32_t>(os::kErrorNotFound));
    EXPECT_NE(text.back(), u'\n');
}

TEST(ErrorRecord, TrailingColonsOfContextAreNotDoubled) {
    EXPECT_EQ(SetLastErrorText(os::kErrorAccessDenied, u"读取失败::"), u"读取失败:" + SystemText(os::kErrorAccessDenied));
}

TEST(ErrorRecord, WithoutContextTheSystemTextStandsAlone) {
    EXPECT_EQ(SetLastErrorText(os::kErrorIo), SystemText(os::kErrorIo));
}

TEST(ErrorRecord, CodeZeroTakesTheLastSystemErrorAndZeroHasItsOwnText) {
    os::SetLastErrorCode(os::kErrorNoMemory);
    EXPECT_EQ(SetLastErrorText(0, u"写入"), u"写入:" + SystemText(os::kErrorNoMemory));
    EXPECT_EQ(GetLastErrorCode(), static_cast<uint32_t>(os::kErrorNoMemory));
    os::SetLastErrorCode(0);
    EXPECT_EQ(SetLastErrorText(0, u"写入"), u"写入:" + SystemText(0));
    EXPECT_EQ(GetLastErrorCode(), 0u);
}

TEST(ErrorRecord, UnknownCodeGivesTheUnknownText) {
    EXPECT_EQ(SetLastErrorText(0x1234ABCDu, u"打开 %s", u"a"), u"打开 a:未知系统错误0x1234ABCD。");
    EXPECT_EQ(SetLastErrorText(0xFFFFFFF0u), u"未知系统错误0xFFFFFFF0。");
    std::u16string none;
    EXPECT_FALSE(GetSystemErrorMessage(99999, none));
}

TEST(ErrorRecord, SystemTextsHaveNoTrailingLineBreak) {
    // Windows ends its message texts with CR LF.
    for (const uint32_t code : {os::kErrorNotFound, os::kErrorAccessDenied, os::kErrorInvalidArgument}) {
        const std::u16string text = SystemText(code);
        ASSERT_FALSE(text.empty()) << code;
        EXPECT_NE(text.back(), u'\n') << code;
        EXPECT_NE(text.back(), u'\r') << code;
    }
}

#if defined(_WIN32)
TEST(ErrorRecord, InternetCodesTakeTheirTextFromTheInternetModule) {
    // 12002 (a time-out of an internet request) is in no table of the
    // system's own; only the internet module knows it.
    std::u16string text;
    ASSERT_TRUE(GetSystemErrorMessage(12002, text));
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(SetLastErrorText(12002, u"下载"), u"下载:" + text);
}
#endif

TEST(ErrorRecord, FromResultTakesLow16Bits) {
    SetLastErrorTextFromResult(0x80070000u | os::kErrorNotFound, u"x");
    EXPECT_EQ(GetLastErrorCode(), static_cast<uint32_t>(os::kErrorNotFound));
}

TEST(ErrorRecord, SetErrorTextStoresExactly) {
    EXPECT_EQ(SetErrorText(0, u"文件 %s 超过最大限制:", u"/a"), u"文件 /a 超过最大限制:");
    EXPECT_EQ(GetLastErrorCode(), 0u);
}

TEST(ErrorRecord, ReplaceContextKeepsSystemPartAndSkipsPathColons) {
    const std::u16string sys = SystemText(os::kErrorNoMemory);
    SetLastErrorText(os::kErrorNoMemory, u"写入文件 %s 失败", u"C:\\x.txt");
    EXPECT_EQ(ReplaceErrorContext(u"写入文件[%s]失败", u"C:\\x.txt"), u"写入文件[C:\\x.txt]失败:" + sys);

    SetLastErrorText(os::kErrorNoMemory, u"打开 %s 于 12:30:05", u"115://a|1");
    EXPECT_EQ(ReplaceErrorContext(u"新的"), u"新的:" + sys);
    EXPECT_EQ(GetLastErrorCode(), static_cast<uint32_t>(os::kErrorNoMemory));

    // Without a context colon only the new context remains.
    SetErrorText(0, u"无冒号");
    EXPECT_EQ(ReplaceErrorContext(u"上下文:"), u"上下文");
}

TEST(ErrorRecord, EachThreadHasItsOwnRecord) {
    SetErrorText(0, u"主线程");
    std::u16string seen;
    std::thread([&] {
        seen = GetLastErrorText();
        SetErrorText(0, u"工作线程");
        FreeThreadErrorInfo();
        EXPECT_EQ(GetLastErrorText(), u"");
    }).join();
    EXPECT_EQ(seen, u"");
    EXPECT_EQ(GetLastErrorText(), u"主线程");
}

}  // namespace
}  // namespace qm

namespace qm {
namespace {

// The hash document records errors from its destructor at process exit,
// after the main thread's thread-local objects have been destroyed.
TEST(ErrorRecordDeathTest, RecordingAfterThreadEndIsHarmless) {
    EXPECT_EXIT(
        {
            SetErrorText(0, u"先记录");
            std::atexit([] {
                SetLastErrorText(os::kErrorNotFound, u"退出时");
#if defined(_WIN32)
                // The main thread's thread-local objects live until the
                // process ends there, so the record still takes the text;
                // what must hold is that nothing breaks.
                std::_Exit(0);
#else
                std::_Exit(GetLastErrorText().empty() ? 0 : 3);
#endif
            });
            std::exit(1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace qm
