#include "core/CommandLine.h"

namespace scb {

namespace {

CommandLine refuse(std::string why)
{
    CommandLine out;
    out.action = CommandLine::Action::Refuse;
    out.error = std::move(why);
    return out;
}

} // namespace

std::string publishUrlError(std::string_view url)
{
    std::string_view rest;
    if (url.starts_with("http://"))
        rest = url.substr(7);
    else if (url.starts_with("https://"))
        rest = url.substr(8);
    else
        return "the URL must start with http:// or https://";
    for (const char c : url)
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7f)
            return "the URL must not contain spaces or control characters";
    if (url.find('#') != std::string_view::npos)
        return "the URL must not have a fragment (#...)";
    const std::string_view authority = rest.substr(0, rest.find_first_of("/?"));
    const std::size_t at = authority.rfind('@');
    const std::string_view hostPort = at == std::string_view::npos ? authority : authority.substr(at + 1);
    if (hostPort.empty() || hostPort.front() == ':')
        return "the URL names no host";
    return {};
}

CommandLine parseCommandLine(const std::vector<std::string_view> &arguments)
{
    for (const std::string_view argument : arguments) {
        if (argument == "--help" || argument == "-h")
            return {CommandLine::Action::Help, {}, {}, {}};
        if (argument == "--version")
            return {CommandLine::Action::Version, {}, {}, {}};
    }
    CommandLine out;
    bool published = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        std::optional<std::string_view> value;
        std::string_view name = argument;
        if (const std::size_t equals = argument.find('='); argument.starts_with("--") && equals != std::string_view::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
        }
        if (name != "--serve" && name != "--publish") {
            if (argument.starts_with('-'))
                return refuse("unknown option " + std::string(name));
            return refuse("unexpected argument '" + std::string(argument) + "'");
        }
        const bool serving = name == "--serve";
        if (serving ? out.serve.has_value() : published)
            return refuse(std::string(name) + " given twice");
        if (!value) {
            if (i + 1 >= arguments.size())
                return refuse(serving ? "--serve needs [ADDRESS:]PORT, for example --serve 8080"
                                      : "--publish needs the engine's URL, for example "
                                        "--publish http://127.0.0.1:8090/board/pub");
            value = arguments[++i];
        }
        if (serving) {
            ServeAddress serve = parseServeAddress(*value);
            if (!serve.error.empty())
                return refuse("--serve " + std::string(*value) + ": " + serve.error);
            out.serve = std::move(serve);
        } else {
            if (const std::string why = publishUrlError(*value); !why.empty())
                return refuse("--publish " + std::string(*value) + ": " + why);
            out.publish = std::string(*value);
            published = true;
        }
    }
    return out;
}

} // namespace scb
