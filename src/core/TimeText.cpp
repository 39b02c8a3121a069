#include "core/TimeText.h"

#include <cstdio>

namespace scb {

std::string timeText(const std::tm &local, char separator)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02d%c%02d.%02d", local.tm_hour, separator, local.tm_min,
                  local.tm_sec);
    return buffer;
}

} // namespace scb
