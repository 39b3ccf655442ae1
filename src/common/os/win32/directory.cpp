// Directory listing on Windows: FindFirstFileW / FindNextFileW over "dir\*".
#include "common/os/directory.h"

#include <windows.h>

#include "common/os/win32/wide_path.h"

namespace qm::os {
namespace {

uint64_t Join(DWORD high, DWORD low) { return (static_cast<uint64_t>(high) << 32) | low; }

struct FindCloser {
    void operator()(HANDLE find) const { FindClose(find); }
};

}  // namespace

struct DirectoryListing::State {
    std::u16string path;
    std::unique_ptr<void, FindCloser> find;
    WIN32_FIND_DATAW data{};
    bool pending = false;  // `data` holds an entry not yet handed out
    FileIdentity identity;
    uint32_t error = 0;
};

DirectoryListing::DirectoryListing() : state_(std::make_unique<State>()) {}
DirectoryListing::~DirectoryListing() = default;

bool DirectoryListing::Open(std::u16string_view path) {
    State& state = *state_;
    state.find.reset();
    state.pending = false;
    state.error = 0;
    state.path.assign(path);

    // The identity of the directory itself, through what a link or junction
    // names: the enumeration compares it with the directories above.
    FileAttributes self;
    if (!GetPathAttributes(path, self)) return false;
    if (self.kind != FileKind::Directory) {
        SetLastError(ERROR_DIRECTORY);
        return false;
    }
    state.identity = self.identity;

    std::u16string pattern = state.path;
    if (!pattern.empty() && pattern.back() != u'\\' && pattern.back() != u'/') pattern += u'\\';
    pattern += u'*';
    HANDLE find = FindFirstFileW(ToWidePath(pattern).c_str(), &state.data);
    if (find == INVALID_HANDLE_VALUE) {
        // An empty directory has no entry at all (not even "." at a drive's
        // root): that is a listing with nothing in it.
        if (GetLastError() == ERROR_FILE_NOT_FOUND) return true;
        return false;
    }
    state.find.reset(find);
    state.pending = true;
    return true;
}

const FileIdentity& DirectoryListing::Identity() const { return state_->identity; }

uint32_t DirectoryListing::ErrorCode() const { return state_->error; }

// The listing carries every entry's attributes: nothing is ever deferred.
void DirectoryListing::Complete(DirectoryEntry& /*entry*/) const {}

bool DirectoryListing::Next(DirectoryEntry& entry, bool /*deferAttributes*/) {
    State& state = *state_;
    entry.deferred = false;
    for (;;) {
        if (!state.pending) {
            if (!state.find) return false;
            if (!FindNextFileW(state.find.get(), &state.data)) {
                const DWORD code = GetLastError();
                state.error = code == ERROR_NO_MORE_FILES ? 0 : code;
                state.find.reset();
                return false;
            }
        }
        state.pending = false;
        const WIN32_FIND_DATAW& data = state.data;
        const std::wstring_view name(data.cFileName);
        if (name == L"." || name == L"..") continue;

        entry.name = FromWide(name);
        entry.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.known = true;
        entry.size = entry.isDirectory ? 0 : Join(data.nFileSizeHigh, data.nFileSizeLow);
        entry.lastWriteTime = Join(data.ftLastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwLowDateTime);
        if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            // The listing describes a link itself; what it names decides,
            // as on the other side, whether it is a directory and what size
            // and time it has. A dangling link keeps the listing's kind.
            std::u16string full = state.path;
            if (!full.empty() && full.back() != u'\\' && full.back() != u'/') full += u'\\';
            full += entry.name;
            FileAttributes target;
            if (GetPathAttributes(full, target)) {
                entry.isDirectory = target.kind == FileKind::Directory;
                entry.size = target.kind == FileKind::Regular ? target.size : 0;
                entry.lastWriteTime = target.lastWriteTime;
            } else {
                entry.known = false;
                entry.size = 0;
                entry.lastWriteTime = 0;
            }
        }
        return true;
    }
}

}  // namespace qm::os
