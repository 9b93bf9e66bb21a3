// Resource ids of the control library (shared by the .rc file and the code).
#pragma once

#define IDB_TOOLBOX 1  // named by the ToolboxBitmap32 registry value
#define IDB_FACE 101
