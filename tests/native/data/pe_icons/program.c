// A program of its own sections (code, data, imports), no C run time: its icon is found through
// the section table like a compiler's output.
#include <windows.h>

static const char message[] = "icon fixture";

int start(void) {
    MessageBoxA(NULL, message, message, MB_OK);
    return 0;
}
