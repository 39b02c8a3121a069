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

CommandLine parseCommandLine(const std::vector<std::string_view> &arguments)
{
    for (const std::string_view argument : arguments) {
        if (argument == "--help" || argument == "-h")
            return {CommandLine::Action::Help, {}, {}};
        if (argument == "--version")
            return {CommandLine::Action::Version, {}, {}};
    }
    CommandLine out;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        std::optional<std::string_view> value;
        std::string_view name = argument;
        if (const std::size_t equals = argument.find('='); argument.starts_with("--") && equals != std::string_view::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
        }
        if (name != "--serve") {
            if (argument.starts_with('-'))
                return refuse("unknown option " + std::string(name));
            return refuse("unexpected argument '" + std::string(argument) + "'");
        }
        if (out.serve)
            return refuse("--serve given twice");
        if (!value) {
            if (i + 1 >= arguments.size())
                return refuse("--serve needs [ADDRESS:]PORT, for example --serve 8080");
            value = arguments[++i];
        }
        ServeAddress serve = parseServeAddress(*value);
        if (!serve.error.empty())
            return refuse("--serve " + std::string(*value) + ": " + serve.error);
        out.serve = std::move(serve);
    }
    return out;
}

} // namespace scb
