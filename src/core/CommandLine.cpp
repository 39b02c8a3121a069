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
            out.publish = std::string(*value);
            published = true;
        }
    }
    return out;
}

} // namespace scb
