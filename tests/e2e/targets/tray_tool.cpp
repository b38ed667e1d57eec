// Acts out a restarted shell for a program's notification icon: Wine's explorer cannot be
// restarted inside a virtual desktop without taking every window with it, so the icon is
// deleted from here, as a new shell would not have it, and "TaskbarCreated" is broadcast.
// Usage: tray_tool delete HWND UID | tray_tool taskbar-created

#include "target_common.h"

#include <shellapi.h>

#include <cstring>

int main(int argc, char** argv) {
    if (argc >= 4 && std::strcmp(argv[1], "delete") == 0) {
        NOTIFYICONDATAA data{};
        data.cbSize = NOTIFYICONDATAA_V1_SIZE;
        data.hWnd =
            reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::strtoul(argv[2], nullptr, 0)));
        data.uID = static_cast<UINT>(std::strtoul(argv[3], nullptr, 0));
        const BOOL deleted = Shell_NotifyIconA(NIM_DELETE, &data);
        e2e::Emit("deleted\t%d", deleted ? 1 : 0);
        return deleted ? 0 : 1;
    }
    if (argc >= 2 && std::strcmp(argv[1], "taskbar-created") == 0) {
        const UINT message = RegisterWindowMessageA("TaskbarCreated");
        const BOOL posted = message != 0 && PostMessageA(HWND_BROADCAST, message, 0, 0);
        e2e::Emit("broadcast\t%d", posted ? 1 : 0);
        return posted ? 0 : 1;
    }
    e2e::Emit("usage: tray_tool delete HWND UID | tray_tool taskbar-created");
    return 2;
}
