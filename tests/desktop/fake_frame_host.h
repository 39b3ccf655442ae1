// A recording IQmFrameHost and a queueing NotifyTarget, so the main window's
// logic runs against the real task runner and document without a window.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "desktop/frame_host.h"
#include "desktop/frame_logic.h"
#include "common/utf.h"
#include "document/quorvia_doc.h"
#include "pipeline/notify_target.h"

namespace qm::test {

struct PostedMessage {
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
};

// Messages posted by the worker threads, taken by the test's own loop.
class QueueTarget : public NotifyTarget {
public:
    void Post(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
        {
            std::lock_guard lock(mutex_);
            queue_.push_back({message, wParam, lParam});
        }
        ready_.notify_all();
    }

    // The next message; nothing when none came within `timeout`.
    std::optional<PostedMessage> Take(std::chrono::milliseconds timeout = std::chrono::seconds(60)) {
        std::unique_lock lock(mutex_);
        if (!ready_.wait_for(lock, timeout, [this] { return !queue_.empty(); })) return std::nullopt;
        PostedMessage next = queue_.front();
        queue_.pop_front();
        return next;
    }

    // Waits for a message of `kind`, handing every message before it (and
    // it) to `deliver`. False when none came in time.
    template <class Deliver>
    bool DeliverUntil(uint32_t kind, Deliver deliver) {
        for (;;) {
            const std::optional<PostedMessage> next = Take();
            if (!next) return false;
            deliver(*next);
            if (next->message == kind) return true;
        }
    }

private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<PostedMessage> queue_;
};

// The window and its file list in one recording stand-in.
class FakeFrameHost : public IQmFrameHost, public IQmFrameList {
public:
    // Every call, in order, as a short line ("pane 1 text", "view begin-add").
    std::vector<std::string> log;
    std::string title;
    std::map<int, std::u16string> panes;
    std::map<uint32_t, std::pair<bool, bool>> commands;  // id -> enabled, checked
    size_t viewRows = 0;
    std::vector<uint32_t> viewCommands;
    std::deque<uint32_t> postedCommands;
    int closeRequests = 0;
    bool toolbarVisible = true;
    bool statusBarVisible = true;
    std::optional<bool> stayOnTop;
    bool timerRunning = false;
    uint64_t now = 1'000'000;
    int aboutShown = 0;
    int sounds = 0;
    int fronts = 0;
    std::vector<uint32_t> taskbarStates;
    std::vector<std::pair<uint64_t, uint64_t>> taskbarValues;

    // The new-task dialog: the paths it opened with, and how it answers
    // (cancelled unless the test sets a choice).
    std::vector<std::vector<std::u16string>> dialogInitialPaths;
    std::function<bool(const std::vector<std::u16string>&, QmNewTaskChoice&)> newTaskDialog;

    QmWindow GetOwnerWindow() override { return this; }
    void SetTitle(std::u16string_view text) override {
        title = Utf16ToUtf8(text);
        log.push_back("title " + title);
    }
    void SetPaneText(int pane, std::u16string_view text) override {
        panes[pane] = std::u16string(text);
        log.push_back("pane " + std::to_string(pane) + " " + Utf16ToUtf8(text));
    }
    void SetCommandState(uint32_t id, bool enabled, bool checked) override { commands[id] = {enabled, checked}; }

    size_t GetItemCount() const override { return viewRows; }
    void BeginAddItems() override {
        viewRows = 0;
        log.push_back("view begin-add");
    }
    // As the real view: every item of the document becomes a row.
    void EndAddItems() override {
        viewRows = GetQuorviaDoc().GetItemCount();
        log.push_back("view end-add");
    }
    // Done at once unless a test holds it, as a list with much left to take
    // in does; ReleaseFinish then ends it.
    bool holdFinish = false;
    bool FinishAddItems() override {
        if (holdFinish) {
            log.push_back("view finish-held");
            return false;
        }
        EndAddItems();
        return true;
    }
    void BeginHashUpdates() override { log.push_back("view begin-hash"); }
    void EndHashUpdates() override { log.push_back("view end-hash"); }
    void Clear() override {
        viewRows = 0;
        log.push_back("view clear");
    }
    bool OnCommand(uint32_t id) override {
        viewCommands.push_back(id);
        return true;
    }

    bool RunNewTaskDialog(const std::vector<std::u16string>& initialPaths, QmNewTaskChoice& choice) override {
        dialogInitialPaths.push_back(initialPaths);
        log.push_back("dialog new-task");
        return newTaskDialog && newTaskDialog(initialPaths, choice);
    }
    std::vector<std::u16string> addedToDialog;
    void AddToNewTaskDialog(std::span<const std::u16string> paths) override {
        addedToDialog.insert(addedToDialog.end(), paths.begin(), paths.end());
    }
    void RunAboutBox() override { ++aboutShown; }

    bool IsToolbarVisible() override { return toolbarVisible; }
    void SetToolbarVisible(bool visible) override { toolbarVisible = visible; }
    bool IsStatusBarVisible() override { return statusBarVisible; }
    void SetStatusBarVisible(bool visible) override { statusBarVisible = visible; }
    void SetStayOnTop(bool onTop) override { stayOnTop = onTop; }
    void AcceptDrops() override { log.push_back("accept-drops"); }
    void BringToFront() override {
        ++fronts;
        log.push_back("front");
    }

    void StartProgressTimer(uint32_t periodMs) override {
        timerRunning = true;
        log.push_back("timer start " + std::to_string(periodMs));
    }
    void StopProgressTimer() override {
        timerRunning = false;
        log.push_back("timer stop");
    }
    void PostCommand(uint32_t id) override { postedCommands.push_back(id); }
    void PostClose() override { ++closeRequests; }

    void PlayCompletionSound() override {
        ++sounds;
        log.push_back("sound");
    }
    void CreateTaskbarProgress() override { log.push_back("taskbar create"); }
    void SetTaskbarProgressState(uint32_t flags) override {
        taskbarStates.push_back(flags);
        log.push_back("taskbar state " + std::to_string(flags));
    }
    void SetTaskbarProgressValue(uint64_t done, uint64_t total) override { taskbarValues.emplace_back(done, total); }

    uint64_t GetTickCount() override { return now; }

    bool Enabled(uint32_t id) const { return commands.at(id).first; }
    bool Checked(uint32_t id) const { return commands.at(id).second; }
    // The log lines that begin with one of `prefixes`, in order.
    std::vector<std::string> LogOf(std::initializer_list<std::string_view> prefixes) const {
        std::vector<std::string> lines;
        for (const std::string& line : log) {
            for (std::string_view prefix : prefixes) {
                if (line.starts_with(prefix)) {
                    lines.push_back(line);
                    break;
                }
            }
        }
        return lines;
    }
};

}  // namespace qm::test
