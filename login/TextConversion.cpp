#include "login/TextConversion.h"

#include "platform/TextCodec.h"

std::string WideToNarrow(std::u16string_view wide) {
    return platform::WideToThreadCodeSet(wide);
}

std::u16string NarrowToWide(std::string_view narrow) {
    return platform::ThreadCodeSetToWide(narrow);
}
