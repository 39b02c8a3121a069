#include "core/SessionRules.h"

#include <filesystem>
#include <utility>

#include "core/FileStamp.h"

namespace scb {

void beginStartUp(DisplayState &state, std::string settingsFolder)
{
    state.LastMousePos = {};
    state.Starting = true;
    state.SettingsDir = std::move(settingsFolder);
}

bool endStartUp(DisplayState &state)
{
    if (!state.Starting)
        return false;
    state.Starting = false;
    return true;
}

std::optional<std::string> fallbackDisplayFile(const std::string &saved, const std::string &startFolder,
                                               const FileSystemGate &gate)
{
    passGate(gate, saved);
    if (fileAge(saved) != -1)
        return std::nullopt;
    std::string fallback = (std::filesystem::path(startFolder) / "Main.txt").string();
    passGate(gate, fallback);
    if (fileAge(fallback) != -1)
        return fallback;
    return std::nullopt;
}

bool pointerResting(DisplayState &state, MousePos now)
{
    const bool resting = now == state.LastMousePos;
    state.LastMousePos = now;
    return resting;
}

} // namespace scb
