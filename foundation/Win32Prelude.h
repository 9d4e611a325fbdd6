#pragma once
// The one way this project reaches the Windows headers: include this before any
// system or library header that may bring windows.h.
//
// The program is wide-character throughout and runs from Windows 7 on, so every
// source must see the same UNICODE and version macros; NOMINMAX keeps std::min and
// std::max usable. winsock2.h must come before windows.h, or windows.h pulls in the
// old winsock.h and the two clash as soon as libcurl or the user-service client is
// included later.
#if defined(_WINDOWS_) && !defined(_WINSOCK2API_)
#error "windows.h was included before Win32Prelude.h"
#endif

#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0601
#endif
#ifndef WINVER
#define WINVER 0x0601
#endif

#include <winsock2.h>
#include <windows.h>
