// The rules of message boxes and file dialogs, answered by a recording fake.
#include "common/user_prompts.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/app_info.h"
#include "common/error_record.h"

namespace qm {
namespace {

class RecordingPrompts : public CQmUserPrompts {
public:
    int MessageBox(const QmMessageBoxRequest& request) override {
        boxes.push_back(request);
        return answer;
    }
    bool FileDialog(const QmFileDialogRequest& request, QmFileDialogResult& result) override {
        dialogs.push_back(request);
        result = dialogResult;
        return dialogAccepted;
    }
    bool FolderDialog(QmWindow, std::u16string_view, std::u16string& path) override {
        path = folder;
        return !folder.empty();
    }
    void SetWaitCursor(bool on) override { waitDepth += on ? 1 : -1; }

    std::vector<QmMessageBoxRequest> boxes;
    std::vector<QmFileDialogRequest> dialogs;
    int answer = IDOK;
    QmFileDialogResult dialogResult;
    bool dialogAccepted = true;
    std::u16string folder;
    int waitDepth = 0;
};

class UserPromptsTest : public ::testing::Test {
protected:
    UserPromptsTest() { SetUserPrompts(&prompts_); }
    ~UserPromptsTest() override { SetUserPrompts(nullptr); }
    RecordingPrompts prompts_;
};

TEST_F(UserPromptsTest, LastErrorShowsWithTheDefaultCaptionAndNothingWhenEmpty) {
    SetErrorText(0, u"");
    ShowLastError(nullptr);
    EXPECT_TRUE(prompts_.boxes.empty());

    SetErrorText(2, u"打开文件失败:原因");
    ShowLastError(nullptr);
    ASSERT_EQ(prompts_.boxes.size(), 1u);
    EXPECT_EQ(prompts_.boxes[0].caption, u"错误");
    EXPECT_EQ(prompts_.boxes[0].text, u"打开文件失败:原因");
    EXPECT_EQ(prompts_.boxes[0].flags, MB_ICONERROR);
}

TEST_F(UserPromptsTest, MessagesCarryTheDisplayNameAndReturnTheAnswer) {
    prompts_.answer = IDNO;
    EXPECT_EQ(ShowMessageFormat(nullptr, MB_YESNOCANCEL, u"是否将更改保存到 %s ?", u"未命名"), IDNO);
    ASSERT_EQ(prompts_.boxes.size(), 1u);
    EXPECT_EQ(prompts_.boxes[0].caption, GetAppInfo().GetDisplayName());
    EXPECT_EQ(prompts_.boxes[0].text, u"是否将更改保存到 未命名 ?");
    EXPECT_EQ(prompts_.boxes[0].flags, MB_YESNOCANCEL);
}

TEST_F(UserPromptsTest, DefaultTitlesFilterAndExtension) {
    std::u16string buffer;
    prompts_.dialogAccepted = false;
    ShowFileDialog(nullptr, QmFileDialogMode::Open, nullptr, {}, nullptr, false, buffer);
    ShowFileDialog(nullptr, QmFileDialogMode::Save, nullptr, {}, nullptr, false, buffer);
    ASSERT_EQ(prompts_.dialogs.size(), 2u);
    EXPECT_EQ(prompts_.dialogs[0].title, u"打开文件");
    EXPECT_EQ(prompts_.dialogs[1].title, u"保存文件");
    EXPECT_EQ(prompts_.dialogs[0].filters, (std::vector<QmFileFilter>{{u"所有文件(*.*)", u"*.*"}}));
    EXPECT_TRUE(prompts_.dialogs[1].overwritePrompt);

    std::u16string two = u"文本文件(*.txt)\t*.txt\t所有文件(*.*)\t*.*\t";
    std::u16string three = u"文本文件(*.txt)\t*.txt\tMD5文件(*.md5)\t*.md5\t所有文件(*.*)\t*.*\t";
    for (std::u16string* filter : {&two, &three}) {
        for (char16_t& c : *filter) {
            if (c == u'\t') c = u'\0';
        }
    }
    EXPECT_EQ(MakeFileDialogRequest(nullptr, QmFileDialogMode::Save, nullptr, two, 0, false, u"").defaultExtension,
              u"txt");
    const QmFileDialogRequest request = MakeFileDialogRequest(nullptr, QmFileDialogMode::Save, u"保存文件校验", three,
                                                              0, true, u"/data/Quorvia");
    EXPECT_EQ(request.defaultExtension, u"");
    EXPECT_EQ(request.filters.size(), 3u);
    EXPECT_FALSE(request.overwritePrompt);
    EXPECT_EQ(request.initialPath, u"/data/Quorvia");
}

TEST_F(UserPromptsTest, OneChosenFileHasTheLayoutOfSeveral) {
    std::u16string buffer = u"ignored";
    int filterIndex = 2;
    prompts_.dialogResult.paths = {u"/d/a.iso"};
    prompts_.dialogResult.filterIndex = 1;
    ASSERT_TRUE(ShowFileDialog(nullptr, QmFileDialogMode::Open, u"添加文件", {}, &filterIndex, true, buffer));
    EXPECT_EQ(buffer, std::u16string(u"/d\0a.iso\0", 9));
    EXPECT_EQ(filterIndex, 1);

    prompts_.dialogResult.paths = {u"/d/a.iso", u"/d/b.iso"};
    ASSERT_TRUE(ShowFileDialog(nullptr, QmFileDialogMode::Open, u"添加文件", {}, nullptr, true, buffer));
    EXPECT_EQ(buffer, std::u16string(u"/d\0a.iso\0b.iso\0", 15));
    // The folder and the names are joined in the system's own spelling.
#if defined(_WIN32)
    const std::u16string folder = u"\\d\\";
#else
    const std::u16string folder = u"/d/";
#endif
    EXPECT_EQ(SplitMultiSelection(buffer), (std::vector<std::u16string>{folder + u"a.iso", folder + u"b.iso"}));
}

TEST_F(UserPromptsTest, CancelAndWaitCursorNesting) {
    std::u16string buffer;
    prompts_.dialogAccepted = false;
    EXPECT_FALSE(ShowFileDialog(nullptr, QmFileDialogMode::Open, nullptr, {}, nullptr, false, buffer));
    std::u16string folder;
    EXPECT_FALSE(BrowseForFolder(nullptr, u"请选择需要计算文件检验的目录:", folder));
    {
        QmWaitCursor outer;
        QmWaitCursor inner;
        EXPECT_EQ(prompts_.waitDepth, 2);
    }
    EXPECT_EQ(prompts_.waitDepth, 0);
}

}  // namespace
}  // namespace qm
