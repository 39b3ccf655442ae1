// The per-thread error record and the OS layer's error texts.
#include "common/error_record.h"

#include <memory>
#include <new>

#include "common/os/system_error.h"

namespace qm {
namespace {

// The slot is trivially destructible on purpose: process-wide objects (the
// hash document writes its setting when it is destroyed) may record an error
// after the main thread's thread-local objects are gone. The reaper frees the
// record at thread end and marks the slot, so a late recording does nothing
// instead of touching a destroyed object.
struct RecordSlot {
    QmErrorInfo* info = nullptr;
    bool gone = false;
};
thread_local RecordSlot t_slot;

struct RecordReaper {
    ~RecordReaper() {
        std::unique_ptr<QmErrorInfo> owned(t_slot.info);
        t_slot.info = nullptr;
        t_slot.gone = true;
    }
};
thread_local RecordReaper t_reaper;

QmErrorInfo* Record() {
    if (!t_slot.info && !t_slot.gone) {
        t_slot.info = new (std::nothrow) QmErrorInfo;
        (void)&t_reaper;  // registers the reaper for this thread
    }
    return t_slot.info;
}

std::u16string TrimTrailingColons(std::u16string_view text) {
    size_t n = text.size();
    while (n > 0 && text[n - 1] == u':') --n;
    return std::u16string(text.substr(0, n));
}

void TrimTrailingLineBreaks(std::u16string& text) {
    while (!text.empty() && (text.back() == u'\r' || text.back() == u'\n')) text.pop_back();
}

}  // namespace

bool GetSystemErrorMessage(uint32_t code, std::u16string& message) {
    return os::GetSystemErrorText(code, message);
}

std::u16string SetLastErrorTextV(uint32_t code, std::u16string_view context) {
    if (code == 0) code = os::LastErrorCode();
    QmErrorInfo* record = Record();
    if (!record) return {};
    record->code = code;

    std::u16string message;
    if (!GetSystemErrorMessage(code, message)) message = FormatText(u"未知系统错误0x%08X。", code);
    std::u16string text = TrimTrailingColons(context);
    if (!text.empty()) text += u':';
    text += message;
    TrimTrailingLineBreaks(text);
    record->text = std::move(text);
    return record->text;
}

std::u16string SetErrorTextV(uint32_t code, std::u16string_view text) {
    QmErrorInfo* record = Record();
    if (!record) return {};
    record->code = code;
    record->text.assign(text);
    return record->text;
}

std::u16string ReplaceErrorContextV(std::u16string_view context) {
    QmErrorInfo* record = Record();
    if (!record) return {};
    std::u16string text = TrimTrailingColons(context);
    const std::u16string& old = record->text;
    // The first ':' that ends a context: not a drive letter's "C:\", not the
    // "://" of a link and not the colon inside a time of day.
    for (size_t i = 0; i + 1 < old.size(); ++i) {
        if (old[i] != u':') continue;
        const char16_t next = old[i + 1];
        if (next == u'/' || next == u'\\' || (next >= u'0' && next <= u'9')) continue;
        text.append(old, i, std::u16string::npos);
        break;
    }
    record->text = std::move(text);
    return record->text;
}

std::u16string GetLastErrorText() {
    QmErrorInfo* record = Record();
    return record ? record->text : std::u16string();
}

uint32_t GetLastErrorCode() {
    QmErrorInfo* record = Record();
    return record ? record->code : 0;
}

void FreeThreadErrorInfo() {
    std::unique_ptr<QmErrorInfo> owned(t_slot.info);
    t_slot.info = nullptr;
}

}  // namespace qm
