// The least a window program does: one visible window and a message loop; with "tray" on its
// command line, a hidden window and a notification-area icon instead. Its start-up under the
// same Wine prefix is the part of any program's start-up that Wine itself takes.

#include <windows.h>
#include <shellapi.h>

#include <cstring>

namespace {

constexpr UINT kTrayIconId = 0;
constexpr UINT kTrayCallbackMessage = WM_APP + 1;

NOTIFYICONDATAA TrayIcon(HWND window) {
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = window;
    data.uID = kTrayIconId;
    return data;
}

void OnDestroy(HWND window, bool tray) {
    if (tray) {
        NOTIFYICONDATAA data = TrayIcon(window);
        static_cast<void>(Shell_NotifyIconA(NIM_DELETE, &data));
    }
    PostQuitMessage(0);
}

LRESULT CALLBACK TrivialWindowProc(HWND window, UINT message, WPARAM wParam,
                                   LPARAM lParam) noexcept {
    switch (message) {
        case WM_DESTROY:
            OnDestroy(window, GetWindowLongPtrA(window, GWLP_USERDATA) != 0);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    const bool tray = std::strstr(commandLine, "tray") != nullptr;
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &TrivialWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = "VtTrivialWindow";
    if (RegisterClassExA(&windowClass) == 0) {
        return 1;
    }
    HWND window = CreateWindowExA(0, windowClass.lpszClassName, "VtTrivial", WS_OVERLAPPEDWINDOW,
                                  CW_USEDEFAULT, CW_USEDEFAULT, 420, 350, nullptr, nullptr,
                                  instance, nullptr);
    if (window == nullptr) {
        return 1;
    }
    if (tray) {
        SetWindowLongPtrA(window, GWLP_USERDATA, 1);
        NOTIFYICONDATAA data = TrayIcon(window);
        data.uFlags = NIF_MESSAGE | NIF_ICON;
        data.uCallbackMessage = kTrayCallbackMessage;
        data.hIcon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
        if (!Shell_NotifyIconA(NIM_ADD, &data)) {
            return 1;
        }
    } else {
        ShowWindow(window, SW_SHOWNORMAL);
    }
    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
