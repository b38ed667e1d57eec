#pragma once

#include <string_view>

#include "platform/system_services.h"
#include "platform/text_conversion.h"
#include "platform/window_system.h"
#include "resources/layout.h"

namespace vt {

// What the tray needs of the window the icon stands for (Form1), which sits above it.
class TrayOwner {
  public:
    // The window system and the shell, the tooltip's conversion, the clock of the retries.
    virtual WindowSystem& windows() const = 0;
    virtual const TextConversion& text() const = 0;
    virtual SystemServices& clock() const = 0;
    virtual Hwnd hWnd() const = 0;
    // The program has ended: a handler that resumes after a modal loop leaves the window alone.
    virtual bool Ended() const = 0;
    // A sweep is under way: the menu waits for its end (Tray::SweepEnded).
    virtual bool Busy() const = 0;
    // Pops up the menu; returns once it has closed and its command has run.
    virtual void ShowTrayMenu(MenuId menu) = 0;
    // The shell would not take the icon however long it was asked: hidden and without an icon,
    // the program could not be reached, so the owner brings its window back and says why.
    virtual void TrayIconLost(std::wstring_view description) = 0;

  protected:
    ~TrayOwner() = default;
};

}  // namespace vt
