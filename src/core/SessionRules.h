#pragma once
// The rules of a session of the control window that are not about the file's
// content: what start-up resets, which display file it falls back to, when
// start-up ends, and when the resting pointer hides.

#include <optional>
#include <string>

#include "core/BoardLayout.h"
#include "core/BoundedCall.h"
#include "core/DisplayState.h"
#include "core/Settings.h"

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

// Start-up takes the settings' colours, border, font and picture into the
// state; the rectangle and the display file go to the control window's edits.
void takeSettings(DisplayState &state, const Settings &settings);

// What the close writes: the state, the rectangle as the edits hold it, and
// the display file's name.
Settings settingsOf(const DisplayState &state, const ScoreboardRect &rect, std::string displayFile);

// One look of the pointer timer: the pointer hides when it has not moved
// since the last look. Remembers where it is now.
bool pointerResting(DisplayState &state, MousePos now);

} // namespace scb
