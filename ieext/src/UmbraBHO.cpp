#include "UmbraBHO.h"

#include "core/PopupRules.h"
#include "core/WindowChrome.h"

#include <common/BrowserHelper.h>
#include <common/HostMessages.h>
#include <platform/CodePages.h>
#include <platform/Registry.h>
#include <platform/Windows.h>

#include <string>

namespace ieext {

namespace {

// The exit code of the browser window's message loop when the object removes itself.
constexpr int SelfRemovalExitCode = 18;

// ANSI text of a BSTR. The buffer is sized by the conversion itself: in UTF-8 a character
// may need three bytes, more than the two per character a Windows code page needs.
std::string ansi(BSTR text)
{
    const int length = static_cast<int>(SysStringLen(text));
    if (text == nullptr || length == 0) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        return {};
    }
    std::string out(static_cast<std::size_t>(size), '\0');
    const int written =
        WideCharToMultiByte(CP_ACP, 0, text, length, out.data(), size, nullptr, nullptr);
    out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return out;
}

// The argument's string, looking through a reference to a VARIANT; null when it holds none.
BSTR stringOf(const VARIANT* value)
{
    if (value != nullptr && value->vt == (VT_BYREF | VT_VARIANT)) {
        value = value->pvarVal;
    }
    if (value == nullptr) {
        return nullptr;
    }
    if (value->vt == VT_BSTR) {
        return value->bstrVal;
    }
    if (value->vt == (VT_BYREF | VT_BSTR) && value->pbstrVal != nullptr) {
        return *value->pbstrVal;
    }
    return nullptr;
}

bool holdsString(const VARIANT* value)
{
    if (value != nullptr && value->vt == (VT_BYREF | VT_VARIANT)) {
        value = value->pvarVal;
    }
    return value != nullptr &&
           (value->vt == VT_BSTR || (value->vt == (VT_BYREF | VT_BSTR) && value->pbstrVal));
}

// The navigating object of an event argument, as a browser (a new reference), or null.
IWebBrowser2* browserOf(const VARIANT& argument)
{
    const VARIANT* value = &argument;
    if (value->vt == (VT_BYREF | VT_VARIANT)) {
        value = value->pvarVal;
    }
    if (value == nullptr || (value->vt != VT_DISPATCH && value->vt != VT_UNKNOWN) ||
        value->punkVal == nullptr) {
        return nullptr;
    }
    IWebBrowser2* browser = nullptr;
    if (FAILED(
            value->punkVal->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&browser)))) {
        return nullptr;
    }
    return browser;
}

} // namespace

UmbraBHO::UmbraBHO(IUnknown* outer, platform::com::ModuleLockCount& locks)
    : ObjectRoot(outer, locks)
{
    // Without the marshaler the object still works within its apartment; it then simply
    // does not answer IMarshal.
    (void)CoCreateFreeThreadedMarshaler(outer != nullptr ? outer : innerUnknown(), &m_marshaler);
}

UmbraBHO::~UmbraBHO()
{
    if (m_browser != nullptr) {
        m_browser->Release();
    }
    if (m_marshaler != nullptr) {
        m_marshaler->Release();
    }
}

void* UmbraBHO::findInterface(REFIID riid) noexcept
{
    if (IsEqualIID(riid, IID_IUmbraBHO) || IsEqualIID(riid, IID_IDispatch)) {
        return static_cast<IUmbraBHO*>(this);
    }
    if (IsEqualIID(riid, IID_IObjectWithSite)) {
        return static_cast<IObjectWithSite*>(this);
    }
    if (IsEqualIID(riid, IID_IMarshal) && m_marshaler != nullptr) {
        void* marshal = nullptr;
        if (FAILED(m_marshaler->QueryInterface(IID_IMarshal, &marshal))) {
            return nullptr;
        }
        // The caller adds the reference it hands out.
        static_cast<IUnknown*>(marshal)->Release();
        return marshal;
    }
    return nullptr;
}

HRESULT UmbraBHO::QueryInterface(REFIID riid, void** object)
{
    return outerQueryInterface(riid, object);
}

ULONG UmbraBHO::AddRef()
{
    return outerAddRef();
}

ULONG UmbraBHO::Release()
{
    return outerRelease();
}

HRESULT UmbraBHO::GetTypeInfoCount(UINT* count)
{
    if (count == nullptr) {
        return E_POINTER;
    }
    *count = 1;
    return S_OK;
}

HRESULT UmbraBHO::GetTypeInfo(UINT index, LCID, ITypeInfo** info)
{
    return platform::com::dispatchTypeInfo(bhoTypeInfo(), index, info);
}

HRESULT UmbraBHO::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids)
{
    return platform::com::dispatchIDsOfNames(bhoTypeInfo(), riid, names, count, ids);
}

HRESULT UmbraBHO::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                         UINT*)
{
    if (params == nullptr) {
        return E_INVALIDARG;
    }
    try {
        handleEvent(id, *params);
    } catch (...) {
        // Nothing is shown from inside the browser: an event that failed is dropped.
    }
    return S_OK;
}

HRESULT UmbraBHO::SetSite(IUnknown* site)
{
    if (site == nullptr) {
        return S_OK;
    }
    IWebBrowser2* browser = nullptr;
    if (FAILED(site->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&browser))) ||
        browser == nullptr) {
        return S_OK;
    }
    // A second site replaces the first: its subscription would otherwise be left behind.
    if (m_browser != nullptr) {
        unsubscribe();
        m_browser->Release();
    }
    m_browser = browser;
    subscribe();
    return S_OK;
}

HRESULT UmbraBHO::GetSite(REFIID, void** site)
{
    if (site != nullptr) {
        *site = nullptr;
    }
    return E_FAIL;
}

void UmbraBHO::subscribe()
{
    IConnectionPointContainer* container = nullptr;
    if (FAILED(m_browser->QueryInterface(IID_IConnectionPointContainer,
                                         reinterpret_cast<void**>(&container)))) {
        return;
    }
    IConnectionPoint* point = nullptr;
    if (SUCCEEDED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, &point))) {
        DWORD cookie = 0;
        if (SUCCEEDED(point->Advise(static_cast<IUmbraBHO*>(this), &cookie))) {
            m_cookie = cookie;
        }
        point->Release();
    }
    container->Release();
}

void UmbraBHO::unsubscribe()
{
    if (m_browser == nullptr || m_cookie == 0) {
        return;
    }
    IConnectionPointContainer* container = nullptr;
    if (FAILED(m_browser->QueryInterface(IID_IConnectionPointContainer,
                                         reinterpret_cast<void**>(&container)))) {
        return;
    }
    IConnectionPoint* point = nullptr;
    if (SUCCEEDED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, &point))) {
        point->Unadvise(m_cookie);
        m_cookie = 0;
        point->Release();
    }
    container->Release();
}

void UmbraBHO::handleEvent(DISPID id, const DISPPARAMS& params)
{
    if (FindWindow(DIALOG_CLASS, hostlink::MainWindowTitle) == 0) {
        removeSelf();
        return;
    }
    const std::optional<PopupSettings> settings = readPopupSettings();
    if (!settings) {
        removeSelf();
        return;
    }
    switch (id) {
    case DISPID_BEFORENAVIGATE2:
        beforeNavigate(params, *settings);
        break;
    case DISPID_TITLECHANGE:
        titleChange(params, *settings);
        break;
    case DISPID_ONQUIT:
        unsubscribe();
        break;
    default:
        break;
    }
}

void UmbraBHO::beforeNavigate(const DISPPARAMS& params, const PopupSettings& settings)
{
    // The navigating object comes first, the URL second: the array holds them in reverse.
    if (params.cArgs < 2 || params.rgvarg == nullptr) {
        return;
    }
    IWebBrowser2* navigating = browserOf(params.rgvarg[params.cArgs - 1]);
    if (navigating == nullptr) {
        return;
    }
    VARIANT_BOOL topLevel = VARIANT_FALSE;
    const bool closed = FAILED(navigating->get_TopLevelContainer(&topLevel)) || !topLevel ||
                        closedByRules(*navigating, &params.rgvarg[params.cArgs - 2], settings);
    navigating->Release();
    if (!closed) {
        switchOnBars(settings);
    }
}

// Applies the three closing rules; true when the window was closed (or is a frame).
bool UmbraBHO::closedByRules(IWebBrowser2& navigating, const VARIANT* url,
                             const PopupSettings& settings)
{
    if (settings.killAllPopups != 0) {
        navigating.Quit();
        return true;
    }
    if (settings.sizeRule != 0) {
        LONG width = 0;
        LONG height = 0;
        RECT desktop{};
        // A size that cannot be read closes nothing.
        if (SUCCEEDED(navigating.get_Width(&width)) && SUCCEEDED(navigating.get_Height(&height)) &&
            GetClientRect(GetDesktopWindow(), &desktop) &&
            tooSmall(width, height, desktop.right - desktop.left, desktop.bottom - desktop.top,
                     settings.sizeThreshold)) {
            navigating.Quit();
            return true;
        }
    }
    if (settings.urlRule != 0 && holdsString(url)) {
        const std::string text = ansi(stringOf(url));
        for (const std::string& pattern : settings.urlPatterns) {
            if (urlPatternMatches(text, pattern)) {
                if (m_browser != nullptr) {
                    m_browser->Quit();
                }
                return true;
            }
        }
    }
    return false;
}

void UmbraBHO::switchOnBars(const PopupSettings& settings)
{
    if (m_browser == nullptr) {
        return;
    }
    IWebBrowser2& browser = *m_browser;
    SHANDLE_PTR hwnd = 0;
    LONG height = 0;
    LONG top = 0;
    const bool placed = SUCCEEDED(browser.get_HWND(&hwnd)) &&
                        SUCCEEDED(browser.get_Height(&height)) && SUCCEEDED(browser.get_Top(&top));
    const HWND window = static_cast<HWND>(hwnd);
    const LONG before = placed ? contentHeight(window) : 0;

    bool changed = false;
    INT toolBar = 0;
    if (settings.showToolBar != 0 && SUCCEEDED(browser.get_ToolBar(&toolBar)) && toolBar == 0) {
        browser.put_ToolBar(1);
        changed = true;
    }
    VARIANT_BOOL shown = VARIANT_TRUE;
    if (settings.showMenuBar != 0 && SUCCEEDED(browser.get_MenuBar(&shown)) && !shown) {
        browser.put_MenuBar(1);
        changed = true;
    }
    shown = VARIANT_TRUE;
    if (settings.showAddressBar != 0 && SUCCEEDED(browser.get_AddressBar(&shown)) && !shown) {
        browser.put_AddressBar(1);
        changed = true;
    }
    shown = VARIANT_TRUE;
    if (settings.showStatusBar != 0 && SUCCEEDED(browser.get_StatusBar(&shown)) && !shown) {
        browser.put_StatusBar(1);
        changed = true;
    }
    if (settings.windowResizable != 0) {
        browser.put_Resizable(VARIANT_TRUE);
    }
    if (!changed) {
        return;
    }
    browser.put_Visible(VARIANT_TRUE);
    RECT workArea{};
    if (!placed || !SystemParametersInfo(SPI_GETWORKAREA, 0, &workArea, 0)) {
        return; // without the window's place or the work area its height is left alone
    }
    const std::optional<Placement> grown =
        grownPlacement(top, height, before, contentHeight(window), workArea);
    if (grown) {
        if (grown->top) {
            browser.put_Top(*grown->top);
        }
        browser.put_Height(grown->height);
    }
}

void UmbraBHO::titleChange(const DISPPARAMS& params, const PopupSettings& settings)
{
    if (params.cArgs < 1 || params.rgvarg == nullptr || settings.titleRule == 0 ||
        !holdsString(&params.rgvarg[params.cArgs - 1])) {
        return;
    }
    const std::string title = ansi(stringOf(&params.rgvarg[params.cArgs - 1]));
    for (const std::string& text : settings.titles) {
        if (titleMatches(title, text)) {
            if (m_browser != nullptr) {
                m_browser->Quit();
            }
            return;
        }
    }
}

void UmbraBHO::removeSelf()
{
    SHDeleteKey(HKEY_LOCAL_MACHINE, browserhelper::RegistrationKey);
    endModuleBookkeeping();
    PostQuitMessage(SelfRemovalExitCode);
}

} // namespace ieext
