#pragma once

#include "platform/form_toolkit.h"
#include "platform/registry_access.h"
#include "platform/system_services.h"
#include "platform/text_conversion.h"
#include "platform/window_system.h"

namespace vt {

// The platform's five services, as the program's entry and Form1 hold them. Each keeps its Win32
// names and shapes; code below Form1 takes only the services it calls. Texts are Unicode except
// where a Win32 shape is ANSI. Failures are results where Win32 reports them, AppError elsewhere.
struct Platform {
    TextConversion& text;
    WindowSystem& windows;
    RegistryAccess& registry;
    SystemServices& system;
    FormToolkit& form;
};

}  // namespace vt
