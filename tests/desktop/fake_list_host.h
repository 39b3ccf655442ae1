// A recording IQmFileListHost: the timers, slices and posts the file list
// asks for, and what the desktop would have been asked to do (open, show,
// properties, the clipboard), answered as the test says.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "common/error_record.h"
#include "desktop/file_list.h"

namespace qm::test {

class FakeListHost : public IQmFileListHost {
public:
    std::map<uint32_t, bool> timers;  // id -> running
    bool slicePending = false;
    int totalsPosts = 0;
    int listReadyPosts = 0;
    std::vector<uint32_t> frameCommands;
    std::vector<const CQmQuorviaItem*> scrolledTo;
    // The find dialog: how often it was opened and raised, with what.
    int findOpened = 0;
    int findRaised = 0;
    QmFindSettings findShown;
    bool findDialogOpen = false;
    // The desktop's actions: every call, and whether it succeeds.
    std::vector<std::u16string> opened, shownInFolder;
    std::vector<std::vector<std::u16string>> properties;
    std::vector<std::u16string> clipboard;
    bool actionsSucceed = true;

    QmWindow GetListWindow() override { return this; }
    void StartTimer(uint32_t id, uint32_t) override { timers[id] = true; }
    void StopTimer(uint32_t id) override { timers[id] = false; }
    void ScheduleAddSlice() override { slicePending = true; }
    void CancelAddSlice() override { slicePending = false; }
    void PostTotalsChanged() override { ++totalsPosts; }
    void PostFrameCommand(uint32_t id) override { frameCommands.push_back(id); }
    void PostListReady() override { ++listReadyPosts; }
    void ScrollToItem(const CQmQuorviaItem* item) override { scrolledTo.push_back(item); }
    void ShowFindDialog(const QmFindSettings& settings, bool open) override {
        if (open) {
            ++findOpened;
            findShown = settings;
        } else {
            ++findRaised;
        }
        findDialogOpen = true;
    }
    QmWindow GetFindDialogWindow() override { return findDialogOpen ? &findDialogOpen : nullptr; }
    bool OpenWithShell(std::u16string_view path) override { return Act(opened, path, u"打开文件失败"); }
    bool ShowInFolder(std::u16string_view path) override { return Act(shownInFolder, path, u"浏览文件失败"); }
    bool ShowProperties(const std::vector<std::u16string>& paths) override {
        properties.push_back(paths);
        if (!actionsSucceed) SetErrorText(0, u"显示文件属性失败");
        return actionsSucceed;
    }
    bool CopyToClipboard(std::u16string_view text) override {
        clipboard.emplace_back(text);
        if (!actionsSucceed) SetErrorText(0, u"设置文本内容到剪贴板失败");
        return actionsSucceed;
    }

    bool Running(uint32_t id) const {
        const auto found = timers.find(id);
        return found != timers.end() && found->second;
    }

private:
    bool Act(std::vector<std::u16string>& calls, std::u16string_view path, std::u16string_view failure) {
        calls.emplace_back(path);
        if (!actionsSucceed) SetErrorText(0, u"%s(%s)", failure, path);
        return actionsSucceed;
    }
};

}  // namespace qm::test
