// The demo host's two ways of running: the form window, and the smoke test that exercises
// the same container code without a person.
#pragma once

#include <string>

namespace demo {

struct Options {
    std::wstring libraryPath;  // the control library; default: beside the program
    bool libraryOnly = false;  // --ocx given: skip the registry
    std::wstring bagPath;      // default: QuorDemo.props beside the program
    std::wstring readyFile;    // written once the window is up and painted
    unsigned quitAfterMs = 0;  // 0: stay until closed
    std::wstring previewFile;  // --preview NAME: open the Open dialog and select NAME
    bool designMode = true;    // a form opens in its designer; --run starts in run mode
    bool smoke = false;
};

// The folder of this program, with a trailing backslash.
std::wstring ProgramFolder();

int RunWindow(const Options& options);
int RunSmokeTest(const Options& options);

}  // namespace demo
