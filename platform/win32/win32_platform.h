#pragma once

// The seam first: <windows.h> defines macros with the names of its constants.
#include "platform/platform.h"

#include "platform/win32/win32_form_toolkit.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_system_services.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/win32_window_system.h"

namespace vt::win32 {

// The real platform: one object per service, each making its Win32 calls, in their ANSI forms
// but where a text must pass whole (what the user types, the messages that show it).
class Win32Platform : public Win32Text,
                      public Win32WindowSystem,
                      public Win32Registry,
                      public Win32SystemServices,
                      public Win32FormToolkit {
  public:
    // `instance` holds the resources: the icons of the window and the notification area.
    explicit Win32Platform(HINSTANCE instance)
        : Win32WindowSystem(instance), Win32FormToolkit(instance) {}
    Win32Platform(const Win32Platform&) = delete;
    Win32Platform& operator=(const Win32Platform&) = delete;

    operator Platform&() { return services_; }

  private:
    Platform services_{*this, *this, *this, *this, *this};
};

}  // namespace vt::win32
