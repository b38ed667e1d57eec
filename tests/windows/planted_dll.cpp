// A DLL that the Windows tests put beside their binary, as someone might put one beside
// Vintrell.exe in Downloads: loading it by its bare name must find nothing once the DLL search is
// restricted.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
