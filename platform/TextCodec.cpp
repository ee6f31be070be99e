#include "platform/TextCodec.h"

#include <iconv.h>
#include <langinfo.h>
#include <strings.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>

namespace platform {
namespace {

constexpr char kDefaultChar = '?';
constexpr char16_t kReplacementChar = u'\uFFFD';

bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

bool IsUtf8Name(const std::string& name) {
    return strcasecmp(name.c_str(), "UTF-8") == 0 || strcasecmp(name.c_str(), "UTF8") == 0;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

void AppendUtf16(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out += static_cast<char16_t>(cp);
    } else {
        cp -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (cp >> 10));
        out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    }
}

// Decodes one UTF-8 sequence at text[i]; returns its length, or 0 when the bytes there do not
// start a valid, shortest-form sequence of a scalar value.
size_t DecodeUtf8(std::string_view text, size_t i, char32_t& cp) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    size_t length;
    char32_t min;
    if (lead < 0x80) {
        cp = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, cp = lead & 0x1F, min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, cp = lead & 0x0F, min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, cp = lead & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return length;
}

const char* Utf16Name() {
    return std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";
}

// One iconv descriptor pair per thread, reopened when the thread's code set changes.
class ThreadConverter {
public:
    ~ThreadConverter() { Close(); }

    iconv_t ToNarrow(const std::string& codeSet) { return Prepare(codeSet) ? m_toNarrow : kNone; }
    iconv_t ToWide(const std::string& codeSet) { return Prepare(codeSet) ? m_toWide : kNone; }

    static inline const iconv_t kNone = reinterpret_cast<iconv_t>(-1);

private:
    bool Prepare(const std::string& codeSet) {
        if (codeSet != m_codeSet) {
            Close();
            m_codeSet = codeSet;
            m_toNarrow = iconv_open(codeSet.c_str(), Utf16Name());
            m_toWide = iconv_open(Utf16Name(), codeSet.c_str());
        }
        return m_toNarrow != kNone && m_toWide != kNone;
    }
    void Close() {
        if (m_toNarrow != kNone) iconv_close(m_toNarrow);
        if (m_toWide != kNone) iconv_close(m_toWide);
        m_toNarrow = m_toWide = kNone;
        m_codeSet.clear();
    }

    std::string m_codeSet;
    iconv_t m_toNarrow = kNone;
    iconv_t m_toWide = kNone;
};

thread_local ThreadConverter t_converter;

struct NarrowSink {
    static void Append(std::string& out, std::string_view bytes) { out += bytes; }
};
struct WideSink {
    static void Append(std::u16string& out, std::string_view bytes) {
        const size_t units = bytes.size() / 2;
        const size_t at = out.size();
        out.resize(at + units);
        std::memcpy(out.data() + at, bytes.data(), units * 2);
    }
};

// Runs iconv over the whole input; on a unit that is invalid or has no conversion, calls
// onInvalid(out), skips `skip(in, left)` bytes and goes on. Ends with the shift state reset.
template <typename Sink, typename Out, typename OnInvalid, typename Skip>
void RunIconv(iconv_t cd, const char* in, size_t inLeft, Out& out, OnInvalid onInvalid, Skip skip) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string buffer(inLeft * 4 + 16, '\0');
    char* inPtr = const_cast<char*>(in);
    auto convert = [&](bool finish) {
        char* outPtr = buffer.data();
        size_t outLeft = buffer.size();
        const size_t rc = finish ? iconv(cd, nullptr, nullptr, &outPtr, &outLeft)
                                 : iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        const int error = rc == static_cast<size_t>(-1) ? errno : 0;
        Sink::Append(out, std::string_view(buffer.data(), outPtr - buffer.data()));
        return error;
    };
    while (inLeft > 0) {
        const int error = convert(false);
        if (error == E2BIG || error == 0) continue;
        onInvalid(out);
        if (error != EILSEQ && error != EINVAL) return;  // not an input fault: stop, never loop
        const size_t n = error == EINVAL ? inLeft : std::min(inLeft, skip(inPtr, inLeft));
        inPtr += n;
        inLeft -= n;
    }
    while (convert(true) == E2BIG) {
    }
}

}  // namespace

std::string ThreadCodeSetName() {
    const char* name = nl_langinfo(CODESET);
    return name && *name ? name : "ANSI_X3.4-1968";
}

std::string WideToUtf8(std::u16string_view wide) {
    std::string out;
    out.reserve(wide.size());
    for (size_t i = 0; i < wide.size(); ++i) {
        const char16_t c = wide[i];
        if (IsHighSurrogate(c) && i + 1 < wide.size() && IsLowSurrogate(wide[i + 1])) {
            AppendUtf8(out, 0x10000 + ((c - 0xD800) << 10) + (wide[i + 1] - 0xDC00));
            ++i;
        } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
            out += kDefaultChar;
        } else {
            AppendUtf8(out, c);
        }
    }
    return out;
}

std::u16string Utf8ToWide(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        char32_t cp;
        const size_t length = DecodeUtf8(utf8, i, cp);
        if (length == 0) {
            out += kReplacementChar;
            ++i;
        } else {
            AppendUtf16(out, cp);
            i += length;
        }
    }
    return out;
}

std::string WideToThreadCodeSet(std::u16string_view wide) {
    const std::string codeSet = ThreadCodeSetName();
    if (IsUtf8Name(codeSet)) return WideToUtf8(wide);
    std::string out;
    iconv_t cd = t_converter.ToNarrow(codeSet);
    if (cd == ThreadConverter::kNone) {  // a code set iconv does not know: keep ASCII only
        for (char16_t c : wide)
            out += c < 0x80 ? static_cast<char>(c) : kDefaultChar;
        return out;
    }
    RunIconv<NarrowSink>(
        cd, reinterpret_cast<const char*>(wide.data()), wide.size() * 2, out,
        [](std::string& o) { o += kDefaultChar; },
        [](const char* in, size_t left) -> size_t {
            char16_t c;
            std::memcpy(&c, in, 2);
            if (IsHighSurrogate(c) && left >= 4) {
                char16_t next;
                std::memcpy(&next, in + 2, 2);
                if (IsLowSurrogate(next)) return 4;
            }
            return 2;
        });
    return out;
}

std::u16string ThreadCodeSetToWide(std::string_view narrow) {
    const std::string codeSet = ThreadCodeSetName();
    if (IsUtf8Name(codeSet)) return Utf8ToWide(narrow);
    std::u16string out;
    iconv_t cd = t_converter.ToWide(codeSet);
    if (cd == ThreadConverter::kNone) {
        for (char c : narrow)
            out += static_cast<unsigned char>(c) < 0x80 ? c : kReplacementChar;
        return out;
    }
    RunIconv<WideSink>(
        cd, narrow.data(), narrow.size(), out, [](std::u16string& o) { o += kReplacementChar; },
        [](const char*, size_t) -> size_t { return 1; });
    return out;
}

}  // namespace platform
