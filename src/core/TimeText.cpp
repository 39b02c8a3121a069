#include "core/TimeText.h"

#include <cstdio>
#include <cstring>

#ifndef _WIN32
#include <langinfo.h>
#endif

namespace scb {

std::string timeText(const std::tm &local, char separator)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02d%c%02d.%02d", local.tm_hour, separator, local.tm_min,
                  local.tm_sec);
    return buffer;
}

char localeTimeSeparator()
{
#ifdef _WIN32
    return ':';
#else
    // The locale's time format, e.g. "%H:%M:%S", "%H.%M.%S" or "%r". The
    // separator is what follows the hour; composite conversions (%r, %T, %R)
    // all use a colon.
    const char *format = nl_langinfo(T_FMT);
    if (format == nullptr)
        return ':';
    for (const char *p = format; *p != '\0'; ++p) {
        if (*p != '%')
            continue;
        ++p;
        // Skip the E/O modifiers and glibc's flag and width characters.
        while (*p != '\0' && std::strchr("EO-_0^#123456789", *p) != nullptr)
            ++p;
        if (*p == '\0')
            break;
        if (*p == 'H' || *p == 'I' || *p == 'k' || *p == 'l') {
            const auto next = static_cast<unsigned char>(p[1]);
            // A multi-byte character cannot be one char; keep the usual colon.
            if (next != '\0' && next != '%' && next < 0x80)
                return static_cast<char>(next);
            return ':';
        }
    }
    return ':';
#endif
}

} // namespace scb
