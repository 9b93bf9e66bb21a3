// The MCI command layer on the real platform: winmm's string interface, the ANSI code page,
// the message pump and the short-path call.
#pragma once

#include "media/mci_commands.h"

namespace qcd {

// The one command layer of the process: its reply buffers and video facts are shared by
// every control, as the platform's MCI devices are.
MciLayer& ProcessMci();

}  // namespace qcd
