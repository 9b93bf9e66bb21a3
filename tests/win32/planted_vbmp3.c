/* A library named VBMP3.dll that only leaves a file beside itself when it is loaded: planted
   in a browsed folder, it shows whether the control ever loads a library from there. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        wchar_t path[MAX_PATH + 32];
        DWORD n = GetModuleFileNameW(instance, path, MAX_PATH);
        while (n > 0 && path[n - 1] != L'\\' && path[n - 1] != L'/') --n;
        lstrcpyW(path + n, L"planted-library-ran");
        HANDLE trace = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        if (trace != INVALID_HANDLE_VALUE) CloseHandle(trace);
    }
    return TRUE;
}
