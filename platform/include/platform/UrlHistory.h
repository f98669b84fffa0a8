#pragma once
// The browser's URL history store, as the system ships it: class
// {3C374A40-BAE4-11CF-BF7D-00AA006946EE} in UrlHistory.dll, registered by the layer in each
// prefix when COM is first initialised there. Its entries are the URL cache's history
// entries ("Visited: <login>@<url>", type URLHISTORY_CACHE_ENTRY; see WinInet.h).
// AddUrl, DeleteUrl and ClearHistory work; QueryUrl, BindToObject and EnumUrls answer
// E_NOTIMPL (nothing in the suite asks for them).

#include <platform/Com.h>

inline constexpr CLSID CLSID_CUrlHistory{
    0x3C374A40, 0xBAE4, 0x11CF, {0xBF, 0x7D, 0x00, 0xAA, 0x00, 0x69, 0x46, 0xEE}};
inline constexpr IID IID_IUrlHistoryStg{
    0x3C374A41, 0xBAE4, 0x11CF, {0xBF, 0x7D, 0x00, 0xAA, 0x00, 0x69, 0x46, 0xEE}};
inline constexpr IID IID_IUrlHistoryStg2{
    0xAFA0DC11, 0xC313, 0x11D0, {0x83, 0x1A, 0x00, 0xC0, 0x4F, 0xD5, 0xAE, 0x38}};

struct STATURL {
    DWORD cbSize;
    LPOLESTR pwcsUrl;
    LPOLESTR pwcsTitle;
    FILETIME ftLastVisited;
    FILETIME ftLastUpdated;
    FILETIME ftExpires;
    DWORD dwFlags;
};

struct IEnumSTATURL;
struct IOleCommandTarget;

struct IUrlHistoryStg : IUnknown {
    virtual HRESULT AddUrl(LPCOLESTR url, LPCOLESTR title, DWORD flags) = 0;
    virtual HRESULT DeleteUrl(LPCOLESTR url, DWORD flags) = 0;
    virtual HRESULT QueryUrl(LPCOLESTR url, DWORD flags, STATURL* stat) = 0;
    virtual HRESULT BindToObject(LPCOLESTR url, REFIID riid, void** object) = 0;
    virtual HRESULT EnumUrls(IEnumSTATURL** urls) = 0;
};

struct IUrlHistoryStg2 : IUrlHistoryStg {
    virtual HRESULT AddUrlAndNotify(LPCOLESTR url, LPCOLESTR title, DWORD flags, BOOL writeHistory,
                                    IOleCommandTarget* notify, IUnknown* folder) = 0;
    virtual HRESULT ClearHistory() = 0;
};
