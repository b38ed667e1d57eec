#pragma once

#include "platform/form_toolkit.h"
#include "platform/list_view_control.h"
#include "platform/registry_access.h"
#include "platform/session_services.h"
#include "platform/settings_store.h"
#include "platform/system_services.h"
#include "platform/text_conversion.h"
#include "platform/window_system.h"

namespace vt {

// The platform as Form1 holds it: every service in one object. Each service keeps its Win32
// names and shapes; code that needs only one or two of them takes those. An implementation is
// one class per service, and the services meet in a class derived from this one and from them.
// Texts are the program's Unicode strings except where an operation's Win32 shape is ANSI.
// Failures are reported as results where Win32 reports them, and as AppError elsewhere.
class Platform : public virtual TextConversion,
                 public virtual WindowSystem,
                 public virtual RegistryAccess,
                 public virtual SettingsStore,
                 public virtual SystemServices,
                 public virtual ListViewControl,
                 public virtual FormToolkit,
                 public virtual SessionServices {
  public:
    virtual ~Platform() = default;
};

}  // namespace vt
