// Which paths a start of the program and a drop onto its window take, and
// what becomes of them.
//
// The command line: arguments that are empty, that begin with '-' (an option
// of some launcher) or that name nothing on disk are dropped before anything
// is counted, and so are those that begin with '/' unless that makes an
// absolute path on this system: on Linux every absolute path begins so (a
// file manager passes its files that way, and a switch written "/x" names
// nothing and falls out with the missing ones); on Windows "/x" is a switch.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// A dropped single file below this size is tried as a hash list first.
inline constexpr uint64_t kDropProbeSizeLimit = 0x1400000;  // 20,971,520 bytes

// The kept arguments, in their order, each made absolute.
std::vector<std::u16string> KeepLaunchArguments(std::span<const std::u16string> args);

// The paths one start of the program hands to another's window: each path
// followed by a NUL, as UTF-16 code units.
std::u16string PackHandedOverPaths(std::span<const std::u16string> paths);
// The paths back from what another process sent, or nothing when it is not
// a well-formed packing: a whole number of code units, each path non-empty,
// at most kMaxHandedOverPathLength long and ended by a NUL, at most
// kMaxHandedOverPaths of them. The sender is any program of the same user,
// so nothing it says is trusted further than that.
std::optional<std::vector<std::u16string>> UnpackHandedOverPaths(const void* data, size_t bytes);
inline constexpr size_t kMaxHandedOverPathLength = 32767;
inline constexpr size_t kMaxHandedOverPaths = 100000;

// True for a name ending in ".txt", ".sha1" or ".md5", in any letter case.
bool HasHashListExtension(std::u16string_view path);

// True when `paths` is exactly one regular file (links followed) smaller than
// kDropProbeSizeLimit: such a drop is tried as a list before anything else.
bool ShouldProbeDroppedFile(std::span<const std::u16string> paths);

}  // namespace qm
