// Path procedures shared by the whole program: tests on paths, splitting a path
// into folder, file name and base name, the normalisation of doubled separators
// and the quiet deletion of a file.
//
// The text procedures work on two path styles:
//   kWindows: '\' separates; a drive letter or a network prefix of two
//             backslashes stands in front. The rules are the program's original
//             ones, character for character.
//   kPosix:   '/' separates; there is no drive and no network prefix, so a
//             leading run of separators stands for the root and becomes one '/'.
//             Everything else follows the same rules with '/'.
// kNativePathStyle is the style of the platform the program runs on; every
// caller that joins paths for the file system uses it.
//
// The file-system procedures (PathExists, IsFolder, RemoveFile, ForceDeleteFile)
// work on native paths. None of them keeps state.
#pragma once

#include <string>

#include "platform/dialogs.h"

namespace platform {

enum class PathStyle { kWindows, kPosix };

#ifdef _WIN32
inline constexpr PathStyle kNativePathStyle = PathStyle::kWindows;
#else
inline constexpr PathStyle kNativePathStyle = PathStyle::kPosix;
#endif

// The separator of a style: '\' or '/'.
char SeparatorOf(PathStyle style);

// The system's own separator, the one this program writes into paths.
inline constexpr char kSeparator = kNativePathStyle == PathStyle::kWindows ? '\\' : '/';

// True when the path ends with a separator of this system: kSeparator, or '/'
// on Windows, where folders also come from toolkits and users in that form.
bool EndsWithSeparator(const std::string& path);

// The path with kSeparator added, unless it is empty or already ends with a
// separator (text typed into a box may lack it; empty text names no folder).
std::string WithTrailingSeparator(const std::string& path);

// True when the path names something whose status can be read (a file or a
// folder; a link counts when its target exists). Never fails: a missing path,
// an empty or invalid name or no access all give false.
bool PathExists(const std::string& path);

// True when the path names a folder (with or without its trailing separator).
// False for a file, a missing path or a status that cannot be read.
bool IsFolder(const std::string& path);

// The text after the last separator; the whole path when it has none; empty
// text when the path ends with a separator. C:\Mail\a.msg gives a.msg.
std::string FileNameOf(const std::string& path, PathStyle style = kNativePathStyle);

// The text up to and including the last separator; empty text when the path has
// none. C:\Mail\a.msg gives C:\Mail\. FolderOf(p) + FileNameOf(p) == p.
std::string FolderOf(const std::string& path, PathStyle style = kNativePathStyle);

// The name without its extension: the text before the last '.', when that dot is
// not the first character. Report.final.msg gives Report.final; .msg and abc stay
// whole.
std::string StripExtension(const std::string& name);

// One left-to-right pass that turns each non-overlapping pair of separators into
// one (a run of three becomes two, of four becomes two). A leading run of any
// length becomes exactly two backslashes in the Windows style (a network prefix,
// also made from a single leading backslash) and one '/' in the POSIX style.
// Empty text stays empty.
std::string CollapseBackslashes(const std::string& path, PathStyle style = kNativePathStyle);

// Yields to the message loop, then deletes the file, falling back to
// ForceDeleteFile. Never fails and reports nothing: a missing, read-only or
// undeletable file, or a folder, is left as it is. A link is removed, never its
// target.
void RemoveFile(const std::string& path, EventPump& pump);

// Deletes the file even when it is read-only (it is made writable first).
// Throws Failure with the system's description when it cannot.
void ForceDeleteFile(const std::string& path);

}  // namespace platform
