#pragma once
// The control window's design as one table: every component's name, kind,
// parent, rectangle, caption, font and text colours, and the Tab walk.
// Building the window from it sets each of the form's component pointers,
// named as the operator's guide and the tests know them.

class TResultsForm;
class TSCBForm;

// The preview's design-time text: the start list shown before any file loads.
const char *designStartList();

// Sizes and colours the form and builds its components, the timers and the
// drop target included, stopped and unconnected.
void buildControlWindow(TSCBForm &form);

// The design's events: each control's signal to the form's handler, guarded
// so that a handler's failure is reported without unwinding through Qt.
void connectControlWindow(TSCBForm &form);

// The scoreboard window's events: F8 there toggles the board, its closing
// turns the switch off, and its activation starts the pointer hiding.
void connectScoreboardWindow(TSCBForm &form, TResultsForm &results);

// Fits the two panels to the form: the status bar along the bottom, the
// controls above it.
void placePanels(TSCBForm &form);
