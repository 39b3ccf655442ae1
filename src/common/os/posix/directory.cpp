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

bool DirectoryListing::Next(DirectoryEntry& entry) {
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
        struct stat st;
        // Links are followed: a link to a directory is listed as one.
        entry.known = ::fstatat(::dirfd(state_->dir.get()), next->d_name, &st, 0) == 0;
        entry.name = PathFromOs(name);
        entry.isDirectory = entry.known ? S_ISDIR(st.st_mode) : next->d_type == DT_DIR;
        entry.size = entry.known ? static_cast<uint64_t>(st.st_size) : 0;
        entry.lastWriteTime = entry.known ? FileTimeFromTimespec(st.st_mtim) : 0;
        return true;
    }
}

}  // namespace qm::os
