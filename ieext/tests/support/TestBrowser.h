#pragma once
// A scriptable browser for the helper object's tests. It loads every class listed under
// the browser-helper registration through CoCreateInstance and hands each its site, as
// Internet Explorer does for a new window, and fires DWebBrowserEvents2 with the
// arguments a browser passes. Its window is real: a top-level widget with child windows
// for the menu, tool, address and status bars and the page area, which the platform's
// window functions measure.

#include <platform/WebBrowser.h>
#include <platform/Window.h>

#include <QWidget>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace ieexttest {

enum class Bar { Menu, Tool, Address, Status };

struct BrowserLayout {
    int left = 100;
    int top = 50;
    int width = 400;
    int height = 300;
    bool menuBar = true;
    bool toolBar = true;
    bool addressBar = true;
    bool statusBar = true;
    bool visible = true;
    bool barsFollowSetters = true; // false: the bar setters are recorded, nothing changes
};

// The bars' heights in pixels.
inline constexpr int MenuBarHeight = 20;
inline constexpr int ToolBarHeight = 28;
inline constexpr int AddressBarHeight = 24;
inline constexpr int StatusBarHeight = 22;

class TestBrowser final : public IWebBrowser2,
                          public IConnectionPointContainer,
                          public IConnectionPoint {
public:
    // A browser window, or (layout null) a frame inside one: no window, not top-level.
    explicit TestBrowser(const BrowserLayout* layout);
    ~TestBrowser();
    TestBrowser(const TestBrowser&) = delete;
    TestBrowser& operator=(const TestBrowser&) = delete;

    // Creates the registered helper objects and sets their site; how many were loaded.
    int loadHelpers();
    // The browser's end: the quit notification, then every helper loses its site and is
    // released.
    void close();

    // Events, to every subscriber; each returns the subscribers' last result.
    HRESULT fireBeforeNavigate(const std::u16string& url, TestBrowser* navigating = nullptr);
    HRESULT fireTitleChange(const std::u16string& title);
    HRESULT fireQuit();
    HRESULT fireWithoutParameters(DISPID id);

    int subscribers() const { return static_cast<int>(m_sinks.size()); }
    int quits() const { return m_quits; }
    // Setter calls in order, such as "put_ToolBar 1" or "put_Height 396".
    const std::vector<std::string>& calls() const { return m_calls; }
    bool barShown(Bar bar) const;
    bool resizable() const { return m_resizable; }
    HWND hwnd() const;
    HWND pageHwnd() const;
    QWidget* frame() const { return m_frame.get(); }
    int top() const { return m_layout.top; }
    int height() const { return m_layout.height; }
    ULONG references() const { return m_refs; }
    void setBar(Bar bar, bool shown); // as the user would

    // IUnknown
    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override { return --m_refs; }
    // IDispatch (the browser is handed to its helpers as a dispatch interface)
    HRESULT GetTypeInfoCount(UINT* count) override;
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }
    // IWebBrowser2: what the helper object calls is live, the rest refuses.
    HRESULT GoBack() override { return E_NOTIMPL; }
    HRESULT GoForward() override { return E_NOTIMPL; }
    HRESULT GoHome() override { return E_NOTIMPL; }
    HRESULT GoSearch() override { return E_NOTIMPL; }
    HRESULT Navigate(BSTR, VARIANT*, VARIANT*, VARIANT*, VARIANT*) override { return E_NOTIMPL; }
    HRESULT Refresh() override { return E_NOTIMPL; }
    HRESULT Refresh2(VARIANT*) override { return E_NOTIMPL; }
    HRESULT Stop() override { return E_NOTIMPL; }
    HRESULT get_Application(IDispatch**) override { return E_NOTIMPL; }
    HRESULT get_Parent(IDispatch**) override { return E_NOTIMPL; }
    HRESULT get_Container(IDispatch**) override { return E_NOTIMPL; }
    HRESULT get_Document(IDispatch**) override { return E_NOTIMPL; }
    HRESULT get_TopLevelContainer(VARIANT_BOOL* topLevel) override;
    HRESULT get_Type(BSTR*) override { return E_NOTIMPL; }
    HRESULT get_Left(LONG* left) override;
    HRESULT put_Left(LONG) override { return E_NOTIMPL; }
    HRESULT get_Top(LONG* top) override;
    HRESULT put_Top(LONG top) override;
    HRESULT get_Width(LONG* width) override;
    HRESULT put_Width(LONG) override { return E_NOTIMPL; }
    HRESULT get_Height(LONG* height) override;
    HRESULT put_Height(LONG height) override;
    HRESULT get_LocationName(BSTR*) override { return E_NOTIMPL; }
    HRESULT get_LocationURL(BSTR*) override { return E_NOTIMPL; }
    HRESULT get_Busy(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT Quit() override;
    HRESULT ClientToWindow(INT*, INT*) override { return E_NOTIMPL; }
    HRESULT PutProperty(BSTR, VARIANT) override { return E_NOTIMPL; }
    HRESULT GetProperty(BSTR, VARIANT*) override { return E_NOTIMPL; }
    HRESULT get_Name(BSTR*) override { return E_NOTIMPL; }
    HRESULT get_HWND(SHANDLE_PTR* hwnd) override;
    HRESULT get_FullName(BSTR*) override { return E_NOTIMPL; }
    HRESULT get_Path(BSTR*) override { return E_NOTIMPL; }
    HRESULT get_Visible(VARIANT_BOOL* visible) override;
    HRESULT put_Visible(VARIANT_BOOL visible) override;
    HRESULT get_StatusBar(VARIANT_BOOL* shown) override;
    HRESULT put_StatusBar(VARIANT_BOOL shown) override;
    HRESULT get_StatusText(BSTR*) override { return E_NOTIMPL; }
    HRESULT put_StatusText(BSTR) override { return E_NOTIMPL; }
    HRESULT get_ToolBar(INT* shown) override;
    HRESULT put_ToolBar(INT shown) override;
    HRESULT get_MenuBar(VARIANT_BOOL* shown) override;
    HRESULT put_MenuBar(VARIANT_BOOL shown) override;
    HRESULT get_FullScreen(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT put_FullScreen(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT Navigate2(VARIANT*, VARIANT*, VARIANT*, VARIANT*, VARIANT*) override
    {
        return E_NOTIMPL;
    }
    HRESULT QueryStatusWB(OLECMDID, OLECMDF*) override { return E_NOTIMPL; }
    HRESULT ExecWB(OLECMDID, OLECMDEXECOPT, VARIANT*, VARIANT*) override { return E_NOTIMPL; }
    HRESULT ShowBrowserBar(VARIANT*, VARIANT*, VARIANT*) override { return E_NOTIMPL; }
    HRESULT get_ReadyState(READYSTATE*) override { return E_NOTIMPL; }
    HRESULT get_Offline(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT put_Offline(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT get_Silent(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT put_Silent(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT get_RegisterAsBrowser(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT put_RegisterAsBrowser(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT get_RegisterAsDropTarget(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT put_RegisterAsDropTarget(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT get_TheaterMode(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT put_TheaterMode(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT get_AddressBar(VARIANT_BOOL* shown) override;
    HRESULT put_AddressBar(VARIANT_BOOL shown) override;
    HRESULT get_Resizable(VARIANT_BOOL* resizable) override;
    HRESULT put_Resizable(VARIANT_BOOL resizable) override;
    // IConnectionPointContainer
    HRESULT EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
    HRESULT FindConnectionPoint(REFIID riid, IConnectionPoint** point) override;
    // IConnectionPoint (DWebBrowserEvents2)
    HRESULT GetConnectionInterface(IID* iid) override;
    HRESULT GetConnectionPointContainer(IConnectionPointContainer** container) override;
    HRESULT Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT Unadvise(DWORD cookie) override;
    HRESULT EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

private:
    struct Sink {
        DWORD cookie;
        IDispatch* dispatch;
    };
    HRESULT fire(DISPID id, DISPPARAMS& params);
    void layOut();
    void record(const std::string& call) { m_calls.push_back(call); }
    void setShown(Bar bar, bool shown, const char* call);

    BrowserLayout m_layout;
    bool m_topLevel;
    bool m_resizable = false;
    std::atomic<ULONG> m_refs{1};
    int m_quits = 0;
    DWORD m_nextCookie = 0;
    std::vector<Sink> m_sinks;
    std::vector<IObjectWithSite*> m_helpers;
    std::vector<std::string> m_calls;
    std::unique_ptr<QWidget> m_frame;
    QWidget* m_bars[4] = {};
    QWidget* m_page = nullptr;
    std::vector<std::unique_ptr<platform::Window>> m_handles;
};

// main() of the helper object's test programs: offscreen Qt application, COM on the
// main thread, then the tests.
int runTests(int argc, char** argv);

} // namespace ieexttest
