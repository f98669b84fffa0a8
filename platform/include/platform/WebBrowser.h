#pragma once
// What a browser offers the helper objects it loads: IWebBrowser2, the events interface
// DWebBrowserEvents2 (dispatch ids only: events arrive through IDispatch::Invoke) and the
// connection points that subscribe to it. Interfaces only; a browser implements them.
//
// IWebBrowser2 is declared with every method in Win32 order (IWebBrowser, then
// IWebBrowserApp, then IWebBrowser2), so that each method sits in its slot of the function
// table; the suite calls only a few of them.

#include <platform/OleAuto.h>

using SHANDLE_PTR = LONG_PTR;
// The command-target and ready-state enumerations travel as 32-bit integers.
using OLECMDID = INT;
using OLECMDF = INT;
using OLECMDEXECOPT = INT;
using READYSTATE = INT;

inline constexpr IID IID_IWebBrowser2{
    0xD30C1661, 0xCDAF, 0x11D0, {0x8A, 0x3E, 0x00, 0xC0, 0x4F, 0xC9, 0xE2, 0x6E}};
inline constexpr IID DIID_DWebBrowserEvents2{
    0x34A715A0, 0x6587, 0x11D0, {0x92, 0x4A, 0x00, 0x20, 0xAF, 0xC7, 0xAC, 0x4D}};
inline constexpr IID IID_IConnectionPointContainer{
    0xB196B284, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
inline constexpr IID IID_IConnectionPoint{
    0xB196B286, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};

// DWebBrowserEvents2 dispatch ids used by the suite.
constexpr DISPID DISPID_TITLECHANGE = 113;
constexpr DISPID DISPID_BEFORENAVIGATE2 = 250;
constexpr DISPID DISPID_ONQUIT = 253;

constexpr HRESULT CONNECT_E_NOCONNECTION = static_cast<HRESULT>(0x80040200);
constexpr HRESULT CONNECT_E_ADVISELIMIT = static_cast<HRESULT>(0x80040201);
constexpr HRESULT CONNECT_E_CANNOTCONNECT = static_cast<HRESULT>(0x80040202);

struct IEnumConnections;
struct IEnumConnectionPoints;
struct IConnectionPointContainer;

struct IConnectionPoint : IUnknown {
    virtual HRESULT GetConnectionInterface(IID* iid) = 0;
    virtual HRESULT GetConnectionPointContainer(IConnectionPointContainer** container) = 0;
    virtual HRESULT Advise(IUnknown* sink, DWORD* cookie) = 0;
    virtual HRESULT Unadvise(DWORD cookie) = 0;
    virtual HRESULT EnumConnections(IEnumConnections** connections) = 0;
};

struct IConnectionPointContainer : IUnknown {
    virtual HRESULT EnumConnectionPoints(IEnumConnectionPoints** points) = 0;
    virtual HRESULT FindConnectionPoint(REFIID riid, IConnectionPoint** point) = 0;
};

struct IWebBrowser2 : IDispatch {
    // IWebBrowser
    virtual HRESULT GoBack() = 0;
    virtual HRESULT GoForward() = 0;
    virtual HRESULT GoHome() = 0;
    virtual HRESULT GoSearch() = 0;
    virtual HRESULT Navigate(BSTR url, VARIANT* flags, VARIANT* targetFrame, VARIANT* postData,
                             VARIANT* headers) = 0;
    virtual HRESULT Refresh() = 0;
    virtual HRESULT Refresh2(VARIANT* level) = 0;
    virtual HRESULT Stop() = 0;
    virtual HRESULT get_Application(IDispatch** application) = 0;
    virtual HRESULT get_Parent(IDispatch** parent) = 0;
    virtual HRESULT get_Container(IDispatch** container) = 0;
    virtual HRESULT get_Document(IDispatch** document) = 0;
    virtual HRESULT get_TopLevelContainer(VARIANT_BOOL* topLevel) = 0;
    virtual HRESULT get_Type(BSTR* type) = 0;
    virtual HRESULT get_Left(LONG* left) = 0;
    virtual HRESULT put_Left(LONG left) = 0;
    virtual HRESULT get_Top(LONG* top) = 0;
    virtual HRESULT put_Top(LONG top) = 0;
    virtual HRESULT get_Width(LONG* width) = 0;
    virtual HRESULT put_Width(LONG width) = 0;
    virtual HRESULT get_Height(LONG* height) = 0;
    virtual HRESULT put_Height(LONG height) = 0;
    virtual HRESULT get_LocationName(BSTR* name) = 0;
    virtual HRESULT get_LocationURL(BSTR* url) = 0;
    virtual HRESULT get_Busy(VARIANT_BOOL* busy) = 0;
    // IWebBrowserApp
    virtual HRESULT Quit() = 0;
    virtual HRESULT ClientToWindow(INT* cx, INT* cy) = 0;
    virtual HRESULT PutProperty(BSTR name, VARIANT value) = 0;
    virtual HRESULT GetProperty(BSTR name, VARIANT* value) = 0;
    virtual HRESULT get_Name(BSTR* name) = 0;
    virtual HRESULT get_HWND(SHANDLE_PTR* hwnd) = 0;
    virtual HRESULT get_FullName(BSTR* fullName) = 0;
    virtual HRESULT get_Path(BSTR* path) = 0;
    virtual HRESULT get_Visible(VARIANT_BOOL* visible) = 0;
    virtual HRESULT put_Visible(VARIANT_BOOL visible) = 0;
    virtual HRESULT get_StatusBar(VARIANT_BOOL* shown) = 0;
    virtual HRESULT put_StatusBar(VARIANT_BOOL shown) = 0;
    virtual HRESULT get_StatusText(BSTR* text) = 0;
    virtual HRESULT put_StatusText(BSTR text) = 0;
    virtual HRESULT get_ToolBar(INT* shown) = 0;
    virtual HRESULT put_ToolBar(INT shown) = 0;
    virtual HRESULT get_MenuBar(VARIANT_BOOL* shown) = 0;
    virtual HRESULT put_MenuBar(VARIANT_BOOL shown) = 0;
    virtual HRESULT get_FullScreen(VARIANT_BOOL* fullScreen) = 0;
    virtual HRESULT put_FullScreen(VARIANT_BOOL fullScreen) = 0;
    // IWebBrowser2
    virtual HRESULT Navigate2(VARIANT* url, VARIANT* flags, VARIANT* targetFrame, VARIANT* postData,
                              VARIANT* headers) = 0;
    virtual HRESULT QueryStatusWB(OLECMDID command, OLECMDF* status) = 0;
    virtual HRESULT ExecWB(OLECMDID command, OLECMDEXECOPT option, VARIANT* in, VARIANT* out) = 0;
    virtual HRESULT ShowBrowserBar(VARIANT* clsid, VARIANT* show, VARIANT* size) = 0;
    virtual HRESULT get_ReadyState(READYSTATE* state) = 0;
    virtual HRESULT get_Offline(VARIANT_BOOL* offline) = 0;
    virtual HRESULT put_Offline(VARIANT_BOOL offline) = 0;
    virtual HRESULT get_Silent(VARIANT_BOOL* silent) = 0;
    virtual HRESULT put_Silent(VARIANT_BOOL silent) = 0;
    virtual HRESULT get_RegisterAsBrowser(VARIANT_BOOL* registered) = 0;
    virtual HRESULT put_RegisterAsBrowser(VARIANT_BOOL registered) = 0;
    virtual HRESULT get_RegisterAsDropTarget(VARIANT_BOOL* registered) = 0;
    virtual HRESULT put_RegisterAsDropTarget(VARIANT_BOOL registered) = 0;
    virtual HRESULT get_TheaterMode(VARIANT_BOOL* theater) = 0;
    virtual HRESULT put_TheaterMode(VARIANT_BOOL theater) = 0;
    virtual HRESULT get_AddressBar(VARIANT_BOOL* shown) = 0;
    virtual HRESULT put_AddressBar(VARIANT_BOOL shown) = 0;
    virtual HRESULT get_Resizable(VARIANT_BOOL* resizable) = 0;
    virtual HRESULT put_Resizable(VARIANT_BOOL resizable) = 0;
};
