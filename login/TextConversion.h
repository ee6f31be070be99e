#pragma once
// The text rule of the login hand-off: inside the program text is wide (UTF-16); the log, the
// JSON reader, the login data and the process start use the calling thread's narrow code set.

#include <string>
#include <string_view>

// Wide to narrow; a character the code set lacks becomes '?'. Never throws.
std::string WideToNarrow(std::u16string_view wide);

// Narrow to wide; bytes that are not valid in the code set become U+FFFD. Never throws.
std::u16string NarrowToWide(std::string_view narrow);
