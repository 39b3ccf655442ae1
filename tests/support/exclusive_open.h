// A file held open by "another program" that shares it with nobody, the
// Windows way a file becomes unreadable and unwritable for everyone else
// (where Linux tests take away permission bits). The C runtime's open with a
// sharing mode is enough, and keeps <windows.h> out of the tests.
#pragma once

#if defined(_WIN32)

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

#include <filesystem>

namespace qm::test {

class ExclusiveOpen {
public:
    explicit ExclusiveOpen(const std::filesystem::path& file) {
        if (_wsopen_s(&fd_, file.c_str(), _O_RDWR | _O_BINARY, _SH_DENYRW, _S_IREAD | _S_IWRITE) != 0) fd_ = -1;
    }
    ExclusiveOpen(const ExclusiveOpen&) = delete;
    ExclusiveOpen& operator=(const ExclusiveOpen&) = delete;
    ~ExclusiveOpen() {
        if (fd_ != -1) _close(fd_);
    }
    bool valid() const { return fd_ != -1; }

private:
    int fd_ = -1;
};

}  // namespace qm::test

#endif
