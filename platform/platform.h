#pragma once

#include "platform/form_toolkit.h"
#include "platform/registry_access.h"
#include "platform/system_services.h"
#include "platform/text_conversion.h"
#include "platform/window_system.h"

namespace vt {

// The platform as the program's entry and Form1 hold it: one reference per service. Each
// service keeps its Win32 names and shapes; code below Form1 takes only the services it calls.
// Texts are the program's Unicode strings except where an operation's Win32 shape is ANSI.
// Failures are reported as results where Win32 reports them, and as AppError elsewhere.
struct Platform {
    TextConversion& text;
    WindowSystem& windows;
    RegistryAccess& registry;
    SystemServices& system;
    FormToolkit& form;
};

}  // namespace vt
