#pragma once
// Questions about the program's own file and about paths. Any thread.

#include <string>

namespace platform {

// The full path of the running program's file, however long. Empty if it cannot be read.
std::u16string GetModuleFileNameW();

// Whether anything (a file, a directory, ...) exists at the path.
bool PathFileExistsW(const std::u16string& path);

// A wide path as the bytes the file system takes, and back: the thread's narrow code set.
std::string PathToNative(const std::u16string& path);
std::u16string PathFromNative(const std::string& path);

}  // namespace platform
