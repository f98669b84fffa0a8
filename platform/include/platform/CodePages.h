#pragma once
// Text conversion between UTF-16 and the 8-bit code pages. The ANSI code page of this
// system is UTF-8: it is the encoding of every 8-bit text the suite keeps (registry
// strings, files), so text converted with CP_ACP compares byte for byte with them.

#include <platform/WinTypes.h>

constexpr UINT CP_ACP = 0;
constexpr UINT CP_UTF8 = 65001;

// wideCount -1: up to and including the terminating zero. multiSize 0: only the byte
// count needed. Returns the bytes written (or needed); 0 with ERROR_INSUFFICIENT_BUFFER
// when multi is too small (nothing is cut short silently), ERROR_INVALID_PARAMETER for a
// null text or a negative count, and for other code pages. Unpaired surrogates become
// U+FFFD; usedDefault, when given, is set FALSE (UTF-8 holds every character).
int WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR* wide, int wideCount, LPSTR multi,
                        int multiSize, LPCSTR defaultChar, BOOL* usedDefault) noexcept;
