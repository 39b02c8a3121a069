#pragma once
// The rules of a session of the control window that are not about the file's
// content: what start-up resets, which display file it falls back to, when
// start-up ends, and when the resting pointer hides.

#include <optional>
#include <string>

#include "core/BoundedCall.h"
#include "core/DisplayState.h"

namespace scb {

// Start-up: pointer forgotten, settings folder fixed, and layout calls held
// back until the first tick.
void beginStartUp(DisplayState &state, std::string settingsFolder);

// The first tick ends start-up: true once, and from then on layout calls take
// effect.
bool endStartUp(DisplayState &state);

// The saved display file is kept when it exists; otherwise "Main.txt" in the
// start-up folder when that exists. nullopt: keep the saved name. Looks at the
// file system, so a caller on the interface thread runs it bounded; the gate
// sees each path before it is looked at.
std::optional<std::string> fallbackDisplayFile(const std::string &saved, const std::string &startFolder,
                                               const FileSystemGate &gate = {});

// One look of the pointer timer: the pointer hides when it has not moved
// since the last look. Remembers where it is now.
bool pointerResting(DisplayState &state, MousePos now);

} // namespace scb
