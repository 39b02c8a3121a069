#pragma once
// The argument of --serve: "[ADDRESS:]PORT". Without an address the board is
// served to this machine only; any other interface must be named.

#include <string>
#include <string_view>

namespace scb {

constexpr const char *LoopbackAddress = "127.0.0.1";

struct ServeAddress
{
    std::string address; // an IP literal, not yet checked as one
    int port = -1;       // 0 lets the system pick a free port
    std::string error;   // set when the argument is no "[ADDRESS:]PORT"
};

// The port follows the last colon; an IPv6 address may stand in brackets.
ServeAddress parseServeAddress(std::string_view argument);

} // namespace scb
