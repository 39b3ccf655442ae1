// A CQmUserPrompts for tests: answers every box and file dialog from queues
// the test fills, and records what was asked. Nothing blocks, nothing shows.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/user_prompts.h"

namespace qm::test {

class FakePrompts : public CQmUserPrompts {
public:
    FakePrompts() : previous_(GetUserPrompts()) { SetUserPrompts(this); }
    ~FakePrompts() override { SetUserPrompts(previous_); }
    FakePrompts(const FakePrompts&) = delete;
    FakePrompts& operator=(const FakePrompts&) = delete;

    // Answers for the coming boxes, in order. Without one a box answers as
    // closed without a button press: IDOK for an OK-only box, else IDCANCEL.
    std::deque<int> boxAnswers;
    // Answers for the coming file dialogs: the chosen paths, or nothing for
    // a cancelled dialog. Without one a dialog is cancelled.
    std::deque<std::optional<std::vector<std::u16string>>> fileAnswers;
    // Called for each box before it is answered (a test may act there, as
    // the user would while the box is up).
    std::function<void(const QmMessageBoxRequest&)> onBox;

    std::vector<QmMessageBoxRequest> boxes;
    std::vector<QmFileDialogRequest> fileDialogs;
    int waitCursorDepth = 0;
    int waitCursorShown = 0;

    int MessageBox(const QmMessageBoxRequest& request) override {
        boxes.push_back(request);
        if (onBox) onBox(request);
        if (boxAnswers.empty()) return (request.flags & MB_TYPEMASK) == MB_OK ? IDOK : IDCANCEL;
        const int answer = boxAnswers.front();
        boxAnswers.pop_front();
        return answer;
    }

    bool FileDialog(const QmFileDialogRequest& request, QmFileDialogResult& result) override {
        fileDialogs.push_back(request);
        if (fileAnswers.empty()) return false;
        // Taken straight from the queue: GCC 12 at -O1 takes a moved-out
        // optional for uninitialised.
        const bool accepted = fileAnswers.front().has_value();
        if (accepted) {
            result.paths.swap(*fileAnswers.front());
            result.filterIndex = request.filterIndex;
        }
        fileAnswers.pop_front();
        return accepted;
    }

    bool FolderDialog(QmWindow, std::u16string_view, std::u16string&) override { return false; }

    void SetWaitCursor(bool on) override {
        waitCursorDepth += on ? 1 : -1;
        if (on) ++waitCursorShown;
    }

private:
    CQmUserPrompts* previous_;
};

}  // namespace qm::test
