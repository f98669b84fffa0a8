#pragma once
// The plug-in module contract: every export the host and the other deliverables look up
// by name, with its exact signature. Modules define these with UMBRAVIA_EXPORT (C
// linkage, visible, never throwing); callers bind them through contract::bind, which
// pairs each export name with its function type.

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
// With a null pages array: only return how many pages the module has, creating none.
// Otherwise create that many pages as modeless children of parent and store them in
// pages[0 .. count-1]; the caller's array holds exactly the count the module gave for a
// null array, so a module never stores more pages than it counted. Returns the count.
using CreateTabDlgFn = int (*)(PageWindow* parent, PageWindow** pages);
using OnProgramExitFn = void (*)();

// --- Chain ---
using CreateChainFn = SOCKET (*)();
// Returns mode; callers ignore it.
using SetVendorFn = int (*)(int mode);
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

// An export's name bound to its function type, so that a lookup cannot pair a name with
// the wrong signature. Converts to the bare name for tools that look up by name.
template <typename Fn> struct Export {
    using Type = Fn;
    const char* name;
    constexpr operator const char*() const { return name; }
};

inline constexpr Export<RegisterDLLFn> RegisterDLL{"RegisterDLL"};
inline constexpr Export<UnRegisterDLLFn> UnRegisterDLL{"UnRegisterDLL"};
inline constexpr Export<SetMainWindowFn> SetMainWindow{"SetMainWindow"};
inline constexpr Export<CreateTabDlgFn> CreateTabDlg{"CreateTabDlg"};
inline constexpr Export<OnProgramExitFn> OnProgramExit{"OnProgramExit"};
inline constexpr Export<CreateChainFn> CreateChain{"CreateChain"};
inline constexpr Export<SetVendorFn> SetVendor{"SetVendor"};
inline constexpr Export<UpdateProxyListFn> UpdateProxyList{"UpdateProxyList"};
inline constexpr Export<FilterRequestFn> FilterRequest{"FilterRequest"};
inline constexpr Export<FilterResponseFn> FilterResponse{"FilterResponse"};
inline constexpr Export<FreeFilteredDataBufFn> FreeFilteredDataBuf{"FreeFilteredDataBuf"};
inline constexpr Export<TakeActionFn> TakeAction{"TakeAction"};
inline constexpr Export<UpdateProxyListExFn> UpdateProxyListEx{"UpdateProxyListEx"};
inline constexpr Export<NetUpdateFn> NetUpdate{"NetUpdate"};
inline constexpr Export<GetProxyListCountFn> GetProxyListCount{"GetProxyListCount"};
inline constexpr Export<GetProxyFn> GetProxy{"GetProxy"};

// The export of a loaded module, typed; null when the module does not export it.
template <typename Fn> Fn bind(HMODULE module, Export<Fn> entry)
{
    return module != nullptr ? platform::proc<Fn>(module, entry.name) : nullptr;
}

// A chunk: at most this many bytes of one receive, followed by a zero byte.
inline constexpr int ChunkSize = 16384;
} // namespace contract
