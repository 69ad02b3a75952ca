/* The one door to the platform. Installer and codec code reach every system
 * call and constant through this header, under its Win32 name: on Windows the
 * mingw-w64 headers, on the host our simulated desktop (platform/host). */
#ifndef QUORBELL_PLATFORM_H
#define QUORBELL_PLATFORM_H

#ifdef _WIN32
#include <windows.h>
#include <commctrl.h>
#else
#include "host/win32_api.h"
#endif

#endif
