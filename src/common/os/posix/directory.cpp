// Directory listing on posix: opendir / readdir, with fstatat for each entry.
#include "common/os/directory.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "common/formatting.h"
#include "common/utf.h"

namespace qm::os {

struct DirectoryListing::State {
    struct Closer {
        void operator()(DIR* dir) const { ::closedir(dir); }
    };
    std::unique_ptr<DIR, Closer> dir;
    FileIdentity identity;
    uint32_t error = 0;
};

DirectoryListing::DirectoryListing() : state_(std::make_unique<State>()) {}
DirectoryListing::~DirectoryListing() = default;

bool DirectoryListing::Open(std::u16string_view path) {
    state_->dir.reset(::opendir(PathToOs(path).c_str()));
    state_->error = 0;
    if (!state_->dir) return false;
    struct stat self;
    if (::fstat(::dirfd(state_->dir.get()), &self) != 0) {
        const int code = errno;
        state_->dir.reset();
        errno = code;
        return false;
    }
    state_->identity = {static_cast<uint64_t>(self.st_dev), static_cast<uint64_t>(self.st_ino)};
    return true;
}

const FileIdentity& DirectoryListing::Identity() const { return state_->identity; }

uint32_t DirectoryListing::ErrorCode() const { return state_->error; }

namespace {

// Links are followed: a link to a directory is listed as one. Without the
// attributes the listing's own type decides.
void FillAttributes(int dir, const char* name, bool listedAsDirectory, DirectoryEntry& entry) {
    struct stat st;
    entry.known = ::fstatat(dir, name, &st, 0) == 0;
    entry.isDirectory = entry.known ? S_ISDIR(st.st_mode) : listedAsDirectory;
    entry.size = entry.known ? static_cast<uint64_t>(st.st_size) : 0;
    entry.lastWriteTime = entry.known ? FileTimeFromTimespec(st.st_mtim) : 0;
}

}  // namespace

bool DirectoryListing::Next(DirectoryEntry& entry, bool deferAttributes) {
    if (!state_->dir) return false;
    for (;;) {
        errno = 0;
        const dirent* next = ::readdir(state_->dir.get());
        if (!next) {
            state_->error = static_cast<uint32_t>(errno);
            return false;
        }
        const std::string_view name(next->d_name);
        if (name == "." || name == "..") continue;
        entry.name = PathFromOs(name);
        // Only an entry the listing names as a file or a directory is left
        // for later: a link or one of unknown type needs its attributes to
        // say which it is, and those are few.
        entry.deferred = deferAttributes && (next->d_type == DT_REG || next->d_type == DT_DIR);
        if (entry.deferred) {
            entry.systemName.assign(name);
            entry.isDirectory = next->d_type == DT_DIR;
            entry.known = false;
            entry.size = 0;
            entry.lastWriteTime = 0;
        } else {
            entry.systemName.clear();
            FillAttributes(::dirfd(state_->dir.get()), next->d_name, next->d_type == DT_DIR, entry);
        }
        return true;
    }
}

void DirectoryListing::Complete(DirectoryEntry& entry) const {
    if (!entry.deferred || !state_->dir) return;
    FillAttributes(::dirfd(state_->dir.get()), entry.systemName.c_str(), entry.isDirectory, entry);
    entry.deferred = false;
}

}  // namespace qm::os
