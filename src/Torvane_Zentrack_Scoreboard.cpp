// Program entry: the control window first (it is the main window; closing it
// ends the program), then the scoreboard window, hidden, then the event loop.

#include "Application.h"
#include "Unit_Main.h"
#include "Unit_Results.h"
#include "core/Desktop.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char *const Usage = "Usage: torvane-scoreboard [--help | --version]\n"
                          "\n"
                          "Shows the display file (\"Main.txt\" in the folder it is started from, or the\n"
                          "file chosen in the control window) on a borderless scoreboard window.\n"
                          "Settings are kept in \"Resolution.ini\" in the folder it is started from.\n"
                          "F8 opens and closes the scoreboard; Left and Right nudge it by 10 pixels.\n";

} // namespace

int main(int argc, char **argv)
{
    // The program takes no options; these two answer before any window opens.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(Usage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::puts("torvane-scoreboard 1.3");
            return 0;
        }
    }

    // The board places its own window; under Wayland only XWayland lets it.
    if (scb::wantsX11Layer(std::getenv("QT_QPA_PLATFORM"), std::getenv("WAYLAND_DISPLAY"), std::getenv("DISPLAY")))
        qputenv("QT_QPA_PLATFORM", "xcb");

    Application app(argc, argv);
    TSCBForm SCBForm;
    TResultsForm ResultsForm;
    SCBForm.setResultsForm(&ResultsForm);
    SCBForm.show();
    return app.exec();
}
