// The storage device under an open file: which one it is, and whether it
// pays for reading two places at once with seeks (a spinning disk), so that
// the hashing run can read such a device's files one at a time.
//
// Nothing here records a text: the answers are hints for how to read, and a
// question the system cannot answer has the answer "unknown".
#pragma once

#include <cstdint>

#include "common/os/file.h"

namespace qm::os {

// An id equal for every file of one storage device (one file system, or the
// disk itself when the handle is a disk), and different between devices.
// False when the system does not tell.
bool GetStorageId(FileHandle handle, uint64_t& id);

enum class SeekPenalty {
    Unknown,   // a network share, memory, or a device that does not answer
    None,      // solid-state storage
    Incurred,  // a spinning disk: parallel reads make it seek
};

// Whether the device under `handle` incurs a seek penalty (posix: the
// queue/rotational value of the disk under the file's device; win32: the
// storage seek-penalty property of the file's volume).
SeekPenalty QuerySeekPenalty(FileHandle handle);

}  // namespace qm::os
