#include "TestBrowser.h"

#include <platform/Com.h>
#include <platform/Registry.h>

#include <QApplication>

#include <TestSupport.h>
#include <gtest/gtest.h>

#include <cstdlib>

namespace ieexttest {

namespace {

constexpr const char* HelperListKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
constexpr const char* FrameClass = "UmbraTestBrowserFrame";
constexpr const char* PageClass = "UmbraTestPage";
// The status bar's class holds "statusbar", as the common control's does.
constexpr const char* BarClasses[] = {"UmbraTestMenuBar", "UmbraTestToolBar", "UmbraTestAddressBar",
                                      "msctls_statusbar32"};
constexpr int BarHeights[] = {MenuBarHeight, ToolBarHeight, AddressBarHeight, StatusBarHeight};

class Handle final : public platform::Window {};

VARIANT emptyVariant()
{
    VARIANT v;
    VariantInit(&v);
    return v;
}

} // namespace

TestBrowser::TestBrowser(const BrowserLayout* layout)
    : m_layout(layout != nullptr ? *layout : BrowserLayout{}), m_topLevel(layout != nullptr)
{
    if (!m_topLevel) {
        return; // a frame has no window of its own here
    }
    m_frame = std::make_unique<QWidget>();
    m_frame->setWindowTitle("Test Browser");
    auto frameHandle = std::make_unique<Handle>();
    frameHandle->attachWidget(m_frame.get(), FrameClass);
    m_handles.push_back(std::move(frameHandle));
    // The bars are made before the page area, so they are enumerated first.
    for (int i = 0; i < 4; ++i) {
        m_bars[i] = new QWidget(m_frame.get());
        auto handle = std::make_unique<Handle>();
        handle->attachWidget(m_bars[i], BarClasses[i]);
        m_handles.push_back(std::move(handle));
    }
    m_page = new QWidget(m_frame.get());
    auto pageHandle = std::make_unique<Handle>();
    pageHandle->attachWidget(m_page, PageClass);
    m_handles.push_back(std::move(pageHandle));
    layOut();
    if (m_layout.visible) {
        m_frame->show();
    }
}

TestBrowser::~TestBrowser()
{
    close();
    m_handles.clear();
    m_frame.reset();
}

void TestBrowser::layOut()
{
    if (!m_frame) {
        return;
    }
    m_frame->setGeometry(m_layout.left, m_layout.top, m_layout.width, m_layout.height);
    const bool shown[] = {m_layout.menuBar, m_layout.toolBar, m_layout.addressBar,
                          m_layout.statusBar};
    int y = 0;
    for (int i = 0; i < 3; ++i) {
        m_bars[i]->setGeometry(0, y, m_layout.width, BarHeights[i]);
        m_bars[i]->setVisible(shown[i]);
        y += shown[i] ? BarHeights[i] : 0;
    }
    int bottom = m_layout.height;
    if (shown[3]) {
        bottom -= StatusBarHeight;
    }
    m_bars[3]->setGeometry(0, bottom, m_layout.width, StatusBarHeight);
    m_bars[3]->setVisible(shown[3]);
    m_page->setGeometry(0, y, m_layout.width, bottom - y);
    m_page->setVisible(true);
}

int TestBrowser::loadHelpers()
{
    HKEY list = nullptr;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, HelperListKey, 0, KEY_READ, &list) != ERROR_SUCCESS) {
        return 0;
    }
    int loaded = 0;
    char name[256];
    for (DWORD i = 0; RegEnumKey(list, i, name, sizeof name) == ERROR_SUCCESS; ++i) {
        CLSID clsid{};
        const std::u16string text = platform::toUtf16(name);
        if (FAILED(CLSIDFromString(text.c_str(), &clsid))) {
            continue;
        }
        IObjectWithSite* helper = nullptr;
        if (SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IObjectWithSite,
                                       reinterpret_cast<void**>(&helper)))) {
            helper->SetSite(static_cast<IWebBrowser2*>(this));
            m_helpers.push_back(helper);
            ++loaded;
        }
    }
    RegCloseKey(list);
    return loaded;
}

void TestBrowser::close()
{
    if (!m_helpers.empty()) {
        fireQuit();
    }
    for (IObjectWithSite* helper : m_helpers) {
        helper->SetSite(nullptr);
        helper->Release();
    }
    m_helpers.clear();
    // A subscriber that never unsubscribed is let go with the browser.
    for (const Sink& sink : m_sinks) {
        sink.dispatch->Release();
    }
    m_sinks.clear();
}

HRESULT TestBrowser::fire(DISPID id, DISPPARAMS& params)
{
    HRESULT last = S_OK;
    // A copy: a subscriber may unsubscribe while it handles the event.
    const std::vector<Sink> sinks = m_sinks;
    for (const Sink& sink : sinks) {
        last = sink.dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                     nullptr, nullptr, nullptr);
    }
    return last;
}

HRESULT TestBrowser::fireBeforeNavigate(const std::u16string& url, TestBrowser* navigating)
{
    // BeforeNavigate2(pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel), the
    // arguments in reverse order, each but the first passed by reference.
    platform::Bstr text(url);
    VARIANT urlValue = emptyVariant();
    urlValue.vt = VT_BSTR;
    urlValue.bstrVal = text.get();
    VARIANT empty[4] = {emptyVariant(), emptyVariant(), emptyVariant(), emptyVariant()};
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANT args[7];
    for (VARIANT& arg : args) {
        VariantInit(&arg);
    }
    args[0].vt = VT_BYREF | VT_BOOL;
    args[0].byref = &cancel;
    for (int i = 0; i < 4; ++i) {
        args[1 + i].vt = VT_BYREF | VT_VARIANT;
        args[1 + i].pvarVal = &empty[i];
    }
    args[5].vt = VT_BYREF | VT_VARIANT;
    args[5].pvarVal = &urlValue;
    args[6].vt = VT_DISPATCH;
    args[6].pdispVal = static_cast<IWebBrowser2*>(navigating != nullptr ? navigating : this);
    DISPPARAMS params{args, nullptr, 7, 0};
    return fire(DISPID_BEFORENAVIGATE2, params);
}

HRESULT TestBrowser::fireTitleChange(const std::u16string& title)
{
    platform::Bstr text(title);
    VARIANT arg = emptyVariant();
    arg.vt = VT_BSTR;
    arg.bstrVal = text.get();
    DISPPARAMS params{&arg, nullptr, 1, 0};
    return fire(DISPID_TITLECHANGE, params);
}

HRESULT TestBrowser::fireQuit()
{
    DISPPARAMS params{nullptr, nullptr, 0, 0};
    return fire(DISPID_ONQUIT, params);
}

HRESULT TestBrowser::fireWithoutParameters(DISPID id)
{
    HRESULT last = S_OK;
    const std::vector<Sink> sinks = m_sinks;
    for (const Sink& sink : sinks) {
        last = sink.dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, nullptr,
                                     nullptr, nullptr, nullptr);
    }
    return last;
}

bool TestBrowser::barShown(Bar bar) const
{
    switch (bar) {
    case Bar::Menu:
        return m_layout.menuBar;
    case Bar::Tool:
        return m_layout.toolBar;
    case Bar::Address:
        return m_layout.addressBar;
    case Bar::Status:
        return m_layout.statusBar;
    }
    return false;
}

void TestBrowser::setBar(Bar bar, bool shown)
{
    switch (bar) {
    case Bar::Menu:
        m_layout.menuBar = shown;
        break;
    case Bar::Tool:
        m_layout.toolBar = shown;
        break;
    case Bar::Address:
        m_layout.addressBar = shown;
        break;
    case Bar::Status:
        m_layout.statusBar = shown;
        break;
    }
    layOut();
}

void TestBrowser::setShown(Bar bar, bool shown, const char* call)
{
    record(std::string(call) + " " + (shown ? "1" : "0"));
    if (m_layout.barsFollowSetters) {
        setBar(bar, shown);
    }
}

HWND TestBrowser::hwnd() const
{
    return m_handles.empty() ? 0 : m_handles.front()->hwnd();
}

HWND TestBrowser::pageHwnd() const
{
    return m_handles.empty() ? 0 : m_handles.back()->hwnd();
}

HRESULT TestBrowser::QueryInterface(REFIID riid, void** object)
{
    if (object == nullptr) {
        return E_POINTER;
    }
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        IsEqualIID(riid, IID_IWebBrowser2)) {
        *object = static_cast<IWebBrowser2*>(this);
    } else if (IsEqualIID(riid, IID_IConnectionPointContainer)) {
        *object = static_cast<IConnectionPointContainer*>(this);
    } else if (IsEqualIID(riid, IID_IConnectionPoint)) {
        *object = static_cast<IConnectionPoint*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

HRESULT TestBrowser::GetTypeInfoCount(UINT* count)
{
    *count = 0;
    return S_OK;
}

HRESULT TestBrowser::get_TopLevelContainer(VARIANT_BOOL* topLevel)
{
    *topLevel = m_topLevel ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT TestBrowser::get_Left(LONG* left)
{
    *left = m_layout.left;
    return S_OK;
}

HRESULT TestBrowser::get_Top(LONG* top)
{
    *top = m_layout.top;
    return S_OK;
}

HRESULT TestBrowser::put_Top(LONG top)
{
    record("put_Top " + std::to_string(top));
    m_layout.top = top;
    layOut();
    return S_OK;
}

HRESULT TestBrowser::get_Width(LONG* width)
{
    *width = m_layout.width;
    return S_OK;
}

HRESULT TestBrowser::get_Height(LONG* height)
{
    *height = m_layout.height;
    return S_OK;
}

HRESULT TestBrowser::put_Height(LONG height)
{
    record("put_Height " + std::to_string(height));
    m_layout.height = height;
    layOut();
    return S_OK;
}

HRESULT TestBrowser::Quit()
{
    record("Quit");
    ++m_quits;
    return S_OK;
}

HRESULT TestBrowser::get_HWND(SHANDLE_PTR* hwnd)
{
    if (!m_topLevel) {
        return E_FAIL;
    }
    *hwnd = static_cast<SHANDLE_PTR>(this->hwnd());
    return S_OK;
}

HRESULT TestBrowser::get_Visible(VARIANT_BOOL* visible)
{
    *visible = m_frame && m_frame->isVisible() ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT TestBrowser::put_Visible(VARIANT_BOOL visible)
{
    record(std::string("put_Visible ") + (visible ? "1" : "0"));
    if (m_frame) {
        m_frame->setVisible(visible != VARIANT_FALSE);
    }
    return S_OK;
}

HRESULT TestBrowser::get_StatusBar(VARIANT_BOOL* shown)
{
    *shown = m_layout.statusBar ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT TestBrowser::put_StatusBar(VARIANT_BOOL shown)
{
    setShown(Bar::Status, shown != VARIANT_FALSE, "put_StatusBar");
    return S_OK;
}

HRESULT TestBrowser::get_ToolBar(INT* shown)
{
    *shown = m_layout.toolBar ? 1 : 0;
    return S_OK;
}

HRESULT TestBrowser::put_ToolBar(INT shown)
{
    setShown(Bar::Tool, shown != 0, "put_ToolBar");
    return S_OK;
}

HRESULT TestBrowser::get_MenuBar(VARIANT_BOOL* shown)
{
    *shown = m_layout.menuBar ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT TestBrowser::put_MenuBar(VARIANT_BOOL shown)
{
    setShown(Bar::Menu, shown != VARIANT_FALSE, "put_MenuBar");
    return S_OK;
}

HRESULT TestBrowser::get_AddressBar(VARIANT_BOOL* shown)
{
    *shown = m_layout.addressBar ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT TestBrowser::put_AddressBar(VARIANT_BOOL shown)
{
    setShown(Bar::Address, shown != VARIANT_FALSE, "put_AddressBar");
    return S_OK;
}

HRESULT TestBrowser::get_Resizable(VARIANT_BOOL* resizable)
{
    *resizable = m_resizable ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT TestBrowser::put_Resizable(VARIANT_BOOL resizable)
{
    record(std::string("put_Resizable ") + (resizable ? "1" : "0"));
    m_resizable = resizable != VARIANT_FALSE;
    return S_OK;
}

HRESULT TestBrowser::FindConnectionPoint(REFIID riid, IConnectionPoint** point)
{
    if (point == nullptr) {
        return E_POINTER;
    }
    *point = nullptr;
    if (!IsEqualIID(riid, DIID_DWebBrowserEvents2)) {
        return CONNECT_E_NOCONNECTION;
    }
    *point = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
}

HRESULT TestBrowser::GetConnectionInterface(IID* iid)
{
    *iid = DIID_DWebBrowserEvents2;
    return S_OK;
}

HRESULT TestBrowser::GetConnectionPointContainer(IConnectionPointContainer** container)
{
    *container = static_cast<IConnectionPointContainer*>(this);
    AddRef();
    return S_OK;
}

HRESULT TestBrowser::Advise(IUnknown* sink, DWORD* cookie)
{
    if (sink == nullptr || cookie == nullptr) {
        return E_POINTER;
    }
    IDispatch* dispatch = nullptr;
    if (FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)))) {
        return CONNECT_E_CANNOTCONNECT;
    }
    *cookie = ++m_nextCookie;
    m_sinks.push_back({*cookie, dispatch});
    return S_OK;
}

HRESULT TestBrowser::Unadvise(DWORD cookie)
{
    for (auto it = m_sinks.begin(); it != m_sinks.end(); ++it) {
        if (it->cookie == cookie) {
            IDispatch* dispatch = it->dispatch;
            m_sinks.erase(it);
            dispatch->Release();
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

int runTests(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    // COM's first start in a prefix registers there: this one must be a temporary prefix
    // too, never the user's default one. Each test then works in its own.
    int result = 0;
    {
        testsupport::TempPrefix processPrefix;
        CoInitialize(nullptr);
        result = RUN_ALL_TESTS();
        CoUninitialize();
    }
    return result;
}

} // namespace ieexttest
