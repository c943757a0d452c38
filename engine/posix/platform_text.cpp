// Local time, the thousands separator and case-insensitive comparison over the C
// library. The program's entry calls setlocale(LC_ALL, ""), so the global locale
// here is the user's.
#include "engine/platform_text.h"

#include <cerrno>
#include <clocale>
#include <ctime>
#include <cwchar>
#include <cwctype>
#include <langinfo.h>
#include <locale.h>
#include <string.h>
#include <string>
#include <wctype.h>

#include "engine/unicode.h"
#include "engine/value_text.h"
#include "engine/win_codes.h"

namespace streamscan {
namespace {

constexpr std::int64_t kUnixEpochInFileTimeSeconds = 11644473600;
constexpr std::uint64_t kTicksPerSecond = 10000000;
// FileTimeToSystemTime refuses anything with the top bit set; so do we, so both
// builds show the same times.
constexpr std::uint64_t kLargestFileTime = 0x7FFFFFFFFFFFFFFF;

// Case mapping needs Unicode tables whatever the user's LC_CTYPE is, so it uses
// one UTF-8 locale object of its own, made once (locale objects are safe to share
// between threads).
locale_t unicodeCaseLocale() {
    static const locale_t locale = [] {
        for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"}) {
            if (locale_t made = newlocale(LC_CTYPE_MASK, name, static_cast<locale_t>(0))) {
                return made;
            }
        }
        return static_cast<locale_t>(0);
    }();
    return locale;
}

char16_t upperCodeUnit(char16_t c) {
    if (c < 0x80)
        return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c;
    if (c >= 0xD800 && c <= 0xDFFF)
        return c;  // halves of pairs have no case
    const locale_t locale = unicodeCaseLocale();
    if (locale == static_cast<locale_t>(0))
        return c;
    const wint_t upper = towupper_l(static_cast<wint_t>(c), locale);
    return upper <= 0xFFFF ? static_cast<char16_t>(upper) : c;
}

// UTF-16 to wide characters (UTF-32 on Linux), folded to lower case for the
// case-insensitive collation. Lone surrogates are kept as their values.
std::wstring foldedWide(std::u16string_view text) {
    const locale_t locale = unicodeCaseLocale();
    std::wstring out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        const bool surrogate = c >= 0xD800 && c <= 0xDFFF;
        if (!surrogate && locale != static_cast<locale_t>(0)) {
            c = static_cast<std::uint32_t>(towlower_l(static_cast<wint_t>(c), locale));
        } else if (c >= 'A' && c <= 'Z') {
            c += 32;
        }
        out.push_back(static_cast<wchar_t>(c));
    }
    return out;
}

int ordinalCompare(const std::wstring& a, const std::wstring& b) {
    const std::size_t common = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < common; ++i) {
        const auto x = static_cast<std::uint32_t>(a[i]);
        const auto y = static_cast<std::uint32_t>(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

void appendUtf16(std::u16string& out, std::uint32_t c) {
    if (c >= 0x10000 && c <= 0x10FFFF) {
        c -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(c));
    }
}

// The locale's own multibyte text, decoded with the user's LC_CTYPE. False when
// that encoding cannot read it.
bool decodeMultibyte(const std::string& bytes, std::u16string& out) {
    std::mbstate_t state{};
    const char* next = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        wchar_t wide = 0;
        const std::size_t used = std::mbrtowc(&wide, next, left, &state);
        if (used == static_cast<std::size_t>(-1) || used == static_cast<std::size_t>(-2)) {
            return false;
        }
        if (used == 0)
            break;  // an embedded NUL ends the text
        appendUtf16(out, static_cast<std::uint32_t>(wide));
        next += used;
        left -= used;
    }
    return true;
}

// strerror_r comes in two shapes: the XSI one returns an int and fills the
// buffer, the GNU one returns the text (which may not be the buffer).
[[maybe_unused]] const char* errnoMessage(int result, const char* buffer) {
    return result == 0 ? buffer : nullptr;
}
[[maybe_unused]] const char* errnoMessage(const char* result, const char*) {
    return result;
}

}  // namespace

bool localTimeOf(std::uint64_t fileTime, CivilTime& out) {
    if (fileTime > kLargestFileTime)
        return false;
    const std::time_t seconds = static_cast<std::time_t>(
        static_cast<std::int64_t>(fileTime / kTicksPerSecond) - kUnixEpochInFileTimeSeconds);
    std::tm local{};
    if (localtime_r(&seconds, &local) == nullptr)
        return false;

    // The local time must itself be a valid FILETIME, as on Windows.
    const std::int64_t offsetTicks =
        static_cast<std::int64_t>(local.tm_gmtoff) * static_cast<std::int64_t>(kTicksPerSecond);
    if (offsetTicks < 0 && fileTime < static_cast<std::uint64_t>(-offsetTicks))
        return false;
    if (offsetTicks > 0 && fileTime > kLargestFileTime - static_cast<std::uint64_t>(offsetTicks)) {
        return false;
    }

    out.year = local.tm_year + 1900;
    out.month = local.tm_mon + 1;
    out.day = local.tm_mday;
    out.hour = local.tm_hour;
    out.minute = local.tm_min;
    out.second = local.tm_sec;
    return true;
}

void refreshTimeZone() {
    tzset();
}

std::u16string userThousandsSeparator() {
    // nl_langinfo's text belongs to the locale; copy it before anything else runs.
    const char* raw = nl_langinfo(THOUSEP);
    const std::string bytes = raw != nullptr ? raw : "";
    if (bytes.empty())
        return {};
    std::u16string separator;
    if (decodeMultibyte(bytes, separator) && !separator.empty())
        return separator;
    // LC_NUMERIC may name a UTF-8 locale while LC_CTYPE does not.
    separator.clear();
    if (decodeUtf8Strict(bytes, separator))
        return separator;
    return {};
}

bool ordinalEqualIgnoreCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && upperCodeUnit(a[i]) != upperCodeUnit(b[i]))
            return false;
    }
    return true;
}

int compareTextIgnoreCase(std::u16string_view a, std::u16string_view b) {
    const std::wstring foldedA = foldedWide(a);
    const std::wstring foldedB = foldedWide(b);
    errno = 0;
    const int collated = std::wcscoll(foldedA.c_str(), foldedB.c_str());
    if (errno == 0 && collated != 0)
        return collated < 0 ? -1 : 1;
    // Equal in the collation (or not collatable): the folded code points decide,
    // so only texts that differ in case alone compare equal.
    return ordinalCompare(foldedA, foldedB);
}

bool systemErrorText(std::uint32_t code, std::u16string& text) {
    // Only the exact form this port makes, errno below the customer bit.
    if ((code & 0xFFFF0000u) != kErrorFromErrno)
        return false;
    const int error = static_cast<int>(code & 0xFFFF);
    char buffer[256] = {};
    const char* message = errnoMessage(strerror_r(error, buffer, sizeof buffer), buffer);
    text = message != nullptr && *message != '\0' ? decodeName(message) : u"Unknown error";
    text += u" (errno " + plainDecimal(static_cast<std::uint64_t>(error)) + u")";
    return true;
}

}  // namespace streamscan
