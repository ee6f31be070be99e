#pragma once
// Conversion between UTF-16 ("wide") text and the narrow code set of the calling thread's locale.
// Runs on any thread; each thread keeps its own converter.

#include <string>
#include <string_view>

namespace platform {

// The name of the calling thread's narrow code set, as the C library reports it ("UTF-8",
// "ANSI_X3.4-1968", "GB18030", ...).
std::string ThreadCodeSetName();

// UTF-16 to the thread's code set. A character the code set cannot represent, and an unpaired
// surrogate, becomes '?'. Never throws for any input.
std::string WideToThreadCodeSet(std::u16string_view wide);

// The thread's code set to UTF-16. A byte sequence that is not valid in the code set becomes
// U+FFFD. Never throws for any input.
std::u16string ThreadCodeSetToWide(std::string_view narrow);

// Conversions between UTF-8 and UTF-16 with the same replacement rules, for the edges where
// GTK, WebKit and the file system speak UTF-8.
std::string WideToUtf8(std::u16string_view wide);
std::u16string Utf8ToWide(std::string_view utf8);

}  // namespace platform
