#pragma once
// The program's command line, read before the toolkit starts: a typo at a
// venue must stop the program with a word, not start it without its server.

#include "core/ServeAddress.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace scb {

struct CommandLine
{
    enum class Action { Run, Help, Version, Refuse };
    Action action = Action::Run;
    std::optional<ServeAddress> serve; // set only when it parsed
    std::string publish;               // the engine's publisher URL, unchecked; empty: none
    std::string error;                 // why Refuse
};

// The arguments after the program's name. "--help" and "--version" answer
// whatever else is there; anything else unknown, a missing or a malformed
// value refuses the whole line. "--serve PORT" and "--serve=PORT" are one, and so
// are the two spellings of --publish.
CommandLine parseCommandLine(const std::vector<std::string_view> &arguments);

} // namespace scb
