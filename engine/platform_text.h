// The two platform services the text forms need. Windows: FileTimeToLocalFileTime
// + FileTimeToSystemTime and GetLocaleInfoW(LOCALE_STHOUSAND). Linux: localtime_r
// (honouring TZ) and the LC_NUMERIC thousands separator of the user's locale.
#pragma once

#include <cstdint>
#include <string>

namespace streamscan {

struct CivilTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// False when the system cannot convert the FILETIME.
bool localTimeOf(std::uint64_t fileTime, CivilTime& out);
// The user's thousands separator; empty when the system gives none.
std::u16string userThousandsSeparator();

}  // namespace streamscan
