#pragma once

// Resource identifiers, shared by vintrell.rc and the code that loads them.

// The first icon group is the executable's own icon (and the tray icon).
#define VT_IDI_APPLICATION 1
// The main window's icon: every pixel transparent.
#define VT_IDI_BLANK 2
