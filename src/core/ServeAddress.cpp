#include "core/ServeAddress.h"

namespace scb {

ServeAddress parseServeAddress(std::string_view argument)
{
    ServeAddress out;
    const std::size_t colon = argument.rfind(':');
    std::string_view port = argument;
    if (colon != std::string_view::npos) {
        std::string_view address = argument.substr(0, colon);
        port = argument.substr(colon + 1);
        if (address.size() >= 2 && address.front() == '[' && address.back() == ']')
            address = address.substr(1, address.size() - 2);
        if (address.empty()) {
            out.error = "no address before the port";
            return out;
        }
        out.address = std::string(address);
    } else {
        out.address = LoopbackAddress;
    }
    if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string_view::npos
        || std::stoi(std::string(port)) > 65535) {
        out.error = "the port must be a number from 0 to 65535";
        return out;
    }
    out.port = std::stoi(std::string(port));
    return out;
}

} // namespace scb
