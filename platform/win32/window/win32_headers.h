// <windows.h> for the window backend's sources. The platform headers come first: several of
// their names (WM_CLOSE, IDOK, HTCAPTION, ODS_SELECTED, ...) are Win32 macros with the same
// values, which these sources then use. Win32 macros that would rename members of the platform
// classes (PostMessage, SetWindowText, GetWindowText) are taken away; the sources call the
// wide functions by their own names.
#pragma once

#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/graphics.h"
#include "platform/window.h"

#include <windows.h>

#undef PostMessage
#undef SetWindowText
#undef GetWindowText
