// windows.h for the host, without the ANSI/wide macros that would rename
// the core's own methods of the same names (Display::FindWindow,
// ShowWindowHost::GetWindowLong, ...): the calls here name the wide
// functions themselves.
#pragma once

#include <windows.h>

#undef DrawText
#undef FindWindow
#undef GetWindowLong
#undef SetWindowLong
