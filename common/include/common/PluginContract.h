#pragma once
// The plug-in module contract: every export the host and the other deliverables look up
// by name, with its exact signature. Modules define these with UMBRAVIA_EXPORT (C
// linkage, visible, never throwing); callers bind them through the *Fn types.

#include <platform/Modules.h>
#include <platform/Sockets.h>
#include <platform/WinTypes.h>

class QWidget;

// The window object passed to and filled by CreateTabDlg: a Qt widget. Pages are created
// as modeless children of parent, their window text is the tab caption.
using PageWindow = QWidget;

// --- common exports (Chain, Local, Filters; IEExt optional) ---
using RegisterDLLFn = int (*)(const char* modulePath);
using UnRegisterDLLFn = int (*)();
using SetMainWindowFn = void (*)(HWND mainWindow);
using CreateTabDlgFn = int (*)(PageWindow* parent, PageWindow** pages);
using OnProgramExitFn = void (*)();

// --- Chain ---
using CreateChainFn = SOCKET (*)();
using SetVendorFn = void (*)(int mode);
using UpdateProxyListFn = void (*)();

// --- Filters ---
// request: bytes followed by a zero byte (writable); result: a new buffer owned by the
// module (release with FreeFilteredDataBuf), or null after a refused or failed call.
using FilterRequestFn = char* (*)(char* request, int length, unsigned int* outLength,
                                  const char* localAddress);
using FilterResponseFn = void (*)(char* response, int length);
using FreeFilteredDataBufFn = void (*)(char* buffer);

// --- Local ---
using TakeActionFn = void (*)();

// --- Listfetch (outside module) ---
using UpdateProxyListExFn = void (*)();
using NetUpdateFn = void (*)(int fromNetwork);
using GetProxyListCountFn = int (*)();
using GetProxyFn = int (*)(char* host, int* port, int* reserved);

namespace contract {
// Export names, kept once.
inline constexpr const char* RegisterDLL = "RegisterDLL";
inline constexpr const char* UnRegisterDLL = "UnRegisterDLL";
inline constexpr const char* SetMainWindow = "SetMainWindow";
inline constexpr const char* CreateTabDlg = "CreateTabDlg";
inline constexpr const char* OnProgramExit = "OnProgramExit";
inline constexpr const char* CreateChain = "CreateChain";
inline constexpr const char* SetVendor = "SetVendor";
inline constexpr const char* UpdateProxyList = "UpdateProxyList";
inline constexpr const char* FilterRequest = "FilterRequest";
inline constexpr const char* FilterResponse = "FilterResponse";
inline constexpr const char* FreeFilteredDataBuf = "FreeFilteredDataBuf";
inline constexpr const char* TakeAction = "TakeAction";
inline constexpr const char* UpdateProxyListEx = "UpdateProxyListEx";
inline constexpr const char* NetUpdate = "NetUpdate";
inline constexpr const char* GetProxyListCount = "GetProxyListCount";
inline constexpr const char* GetProxy = "GetProxy";

// A chunk: at most this many bytes of one receive, followed by a zero byte.
inline constexpr int ChunkSize = 16384;
} // namespace contract
