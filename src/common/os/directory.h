// Listing one directory.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "common/os/file.h"

namespace qm::os {

struct DirectoryEntry {
    std::u16string name;
    // Symbolic links (and junctions) are followed: a link to a directory is
    // a directory here, and size and time are those of what it names.
    bool isDirectory = false;
    // False when the entry's attributes could not be had (a dangling link, an
    // entry removed meanwhile): size and time are then 0, and isDirectory
    // is what the listing itself says.
    bool known = false;
    uint64_t size = 0;
    uint64_t lastWriteTime = 0;  // FILETIME
    // Set when Next was allowed to leave the attributes for later and did:
    // known, size and time are not filled in until Complete, and
    // isDirectory is what the listing itself says until then.
    bool deferred = false;
    // The name as the system gave it, kept for Complete.
    std::string systemName;
};

class DirectoryListing {
public:
    DirectoryListing();
    DirectoryListing(const DirectoryListing&) = delete;
    DirectoryListing& operator=(const DirectoryListing&) = delete;
    ~DirectoryListing();

    // Starts listing `path` and takes the directory's identity. False, with
    // the last error code set, when it cannot start.
    bool Open(std::u16string_view path);
    // The identity of the directory listed (after a successful Open).
    const FileIdentity& Identity() const;
    // The next entry, in the file system's order; "." and ".." are left out.
    // False at the end, or when the listing broke off: ErrorCode() tells
    // which (0 at the end). Where the listing does not carry the attributes
    // (posix), a query per entry costs more than the listing itself; with
    // `deferAttributes` Next may leave that query to Complete, so that a
    // large directory's entries can be completed on several threads.
    bool Next(DirectoryEntry& entry, bool deferAttributes = false);
    // Fetches the attributes of an entry Next deferred (nothing for one it
    // did not), with the same outcome Next would have had. Several threads
    // may complete different entries of one listing at once.
    void Complete(DirectoryEntry& entry) const;
    uint32_t ErrorCode() const;

    struct State;

private:
    std::unique_ptr<State> state_;
};

}  // namespace qm::os
