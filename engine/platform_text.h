// The platform services the text forms need. Windows: FileTimeToLocalFileTime
// + FileTimeToSystemTime and GetLocaleInfoW(LOCALE_STHOUSAND). Linux: localtime_r
// (honouring TZ) and the LC_NUMERIC thousands separator of the user's locale.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace streamscan {

struct CivilTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// False when the system cannot convert the FILETIME. Uses the time zone as
// refreshTimeZone last read it.
bool localTimeOf(std::uint64_t fileTime, CivilTime& out);
// Reads the time zone again (TZ, /etc/localtime), so a changed zone counts
// from the next scan or report on; once per scan, never per row.
void refreshTimeZone();
// The user's thousands separator; empty when the system gives none.
std::u16string userThousandsSeparator();

// Ordinal equality ignoring case (CompareStringOrdinal with bIgnoreCase on
// Windows; simple Unicode upper-casing code unit by code unit on Linux).
// Strings of different lengths are never equal.
bool ordinalEqualIgnoreCase(std::u16string_view a, std::u16string_view b);

// Three-way, case-insensitive comparison in the user's collation order
// (CompareStringW with LOCALE_USER_DEFAULT and NORM_IGNORECASE, falling back to
// lstrcmpiW; on Linux the collation of the user's LC_COLLATE). <0, 0 or >0.
int compareTextIgnoreCase(std::u16string_view a, std::u16string_view b);

// The system's own text for an error code the port made from one of its own
// (Linux: the message of errno e for kErrorFromErrno | e, then "(errno e)");
// false for every other code.
bool systemErrorText(std::uint32_t code, std::u16string& text);

}  // namespace streamscan
