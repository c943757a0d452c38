// Local time, the thousands separator and case-insensitive comparison through
// kernel32, with the user's own settings.
#include "engine/platform_text.h"

#include <windows.h>

namespace streamscan {
namespace {

const wchar_t* wide(std::u16string_view text) {
    return reinterpret_cast<const wchar_t*>(text.data());
}

// The W calls take int lengths; longer texts are compared on what fits.
int clampedLength(std::u16string_view text) {
    constexpr std::size_t kIntMax = 0x7FFFFFFF;
    return static_cast<int>(text.size() < kIntMax ? text.size() : kIntMax);
}

}  // namespace

bool localTimeOf(std::uint64_t fileTime, CivilTime& out) {
    FILETIME utc;
    utc.dwLowDateTime = static_cast<DWORD>(fileTime & 0xFFFFFFFF);
    utc.dwHighDateTime = static_cast<DWORD>(fileTime >> 32);
    FILETIME local;
    SYSTEMTIME system;
    if (!FileTimeToLocalFileTime(&utc, &local))
        return false;
    if (!FileTimeToSystemTime(&local, &system))
        return false;
    out.year = system.wYear;
    out.month = system.wMonth;
    out.day = system.wDay;
    out.hour = system.wHour;
    out.minute = system.wMinute;
    out.second = system.wSecond;
    return true;
}

void refreshTimeZone() {
    // FileTimeToLocalFileTime asks the system's current zone on every call.
}

std::u16string userThousandsSeparator() {
    wchar_t buffer[8] = {};
    const int count = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, buffer, 8);
    if (count < 1 || buffer[0] == L'\0')
        return {};
    // The count includes the terminating NUL.
    std::u16string separator(reinterpret_cast<const char16_t*>(buffer));
    return separator;
}

bool ordinalEqualIgnoreCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size())
        return false;
    if (a.empty())
        return true;
    return CompareStringOrdinal(wide(a), clampedLength(a), wide(b), clampedLength(b), TRUE) ==
           CSTR_EQUAL;
}

int compareTextIgnoreCase(std::u16string_view a, std::u16string_view b) {
    const int result =
        CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.empty() ? L"" : wide(a),
                       clampedLength(a), b.empty() ? L"" : wide(b), clampedLength(b));
    if (result != 0)
        return result - CSTR_EQUAL;
    // lstrcmpiW needs terminated strings.
    const std::u16string ta(a);
    const std::u16string tb(b);
    const int fallback = lstrcmpiW(wide(ta), wide(tb));
    return fallback < 0 ? -1 : (fallback > 0 ? 1 : 0);
}

// Every code this port reports is a Windows code with a text of its own.
bool systemErrorText(std::uint32_t, std::u16string&) {
    return false;
}

}  // namespace streamscan
