#pragma once
// "hh:nn.ss": 24-hour clock, the locale's time separator after the hour, a
// literal full stop before the seconds.

#include <ctime>
#include <string>

namespace scb {

std::string timeText(const std::tm &local, char separator);

} // namespace scb
