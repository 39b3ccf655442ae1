// Path helpers over '/' paths.
//
// Paths in the core are std::u16string (see utf.h for the mapping to OS
// bytes). The helpers are lexical unless their name says they ask the file
// system (PathFileExists, PathIsDirectory, MakeAbsolute's current directory).
// There is no length limit of our own: a path too long for the OS fails at
// the OS call with the OS's error.
#pragma once

#include <string>
#include <string_view>

namespace qm {

// Resolves "." and ".." segments and collapses separator runs; a trailing
// '/' is dropped except for the root. ".." above the root stays at the root;
// a relative path keeps the ".." segments it cannot resolve ("../x").
// An empty path stays empty; a relative path that resolves to nothing is ".".
std::u16string NormalizePath(std::u16string_view path);

// `dir` joined with `more`, normalised. An absolute `more` stands for itself;
// an empty side gives the other one.
std::u16string PathCombine(std::u16string_view dir, std::u16string_view more);

// Appends `more` to `path` as a component and normalises. Unlike
// PathCombine, a leading '/' of `more` does not make it absolute: it is
// always placed below `path`.
void PathAppend(std::u16string& path, std::u16string_view more);

// The directory part: "/a/b" -> "/a", "/a" -> "/", "b" -> "", "/a/b/" -> "/a/b".
std::u16string PathRemoveFileSpec(std::u16string_view path);
// The same directory part as a view into `path`, for callers that only
// compare it.
std::u16string_view PathFindDirectory(std::u16string_view path);

// The last component without trailing separators: "/a/b.txt" -> "b.txt",
// "/a/b/" -> "b". The root "/" is its own name.
std::u16string_view PathFindFileName(std::u16string_view path);

// The extension of the last component with its dot (".txt"), or an empty view
// when it has none. A leading dot names a hidden file, not an extension:
// ".profile" has none.
std::u16string_view PathFindExtension(std::u16string_view path);

// The path without the extension of its last component.
std::u16string PathRemoveExtension(std::u16string_view path);

bool PathIsRelative(std::u16string_view path);

// True when both paths are absolute: on Linux every absolute path has the
// same root. A relative path has no root.
bool PathIsSameRoot(std::u16string_view a, std::u16string_view b);

// The file system's answers (symbolic links followed).
bool PathFileExists(std::u16string_view path);
bool PathIsDirectory(std::u16string_view path);

// An absolute, normalised form of `path` against the current directory. If
// the current directory cannot be determined (it was removed), the path is
// returned normalised but relative; the OS still resolves it.
std::u16string MakeAbsolute(std::u16string_view path);

}  // namespace qm
