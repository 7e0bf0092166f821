#pragma once
// File-name helpers on the game's own path form: Shift-JIS bytes with '\' between components.
// A '\' that is the trail byte of a double-byte character is never a separator, and the
// extension is looked for in the last component only (folders may have dots in their names).
#include <string>

// Byte offset of the last real separator, or npos. Besides '\', a '/' separates too: it cannot
// stand in a Windows file name, and paths typed on Linux (the command line, System.ini) use it.
std::size_t FindLastSeparator(const std::string& path);

// Absolute path (of this machine) to one relative to the game folder, in place; 0 for a foreign
// path (a Windows drive) or one that cannot be made relative, which is then left unchanged.
int MakeRelativePath(std::string& path);
int MakeRelativePathStr(std::string& path);
// Relative path to an absolute one of this machine, in place.
int MakeAbsolutePath(std::string& path);

void PathStripDir(std::string& path);

// out = path with its extension replaced by ext (or cut when ext is null); 0 when the last
// component has no '.'.
int ReplaceExtension(std::string& out, const std::string& path, const char* ext);
int RemoveExtension(std::string& path);
int RemoveExtensionStr(std::string& path);
int GetExtension(std::string& out, const std::string& path);

// The highest-numbered existing file "base_NNN" (999 down to 000), where base is path with its
// extension replaced by ext (or ".ext" added when it has none). 1 and out set when found.
int FindNumberedFile(std::string& out, const std::string& path, const char* ext);
int FindNumberedFileStr(std::string& out, const std::string& path, const char* ext);
