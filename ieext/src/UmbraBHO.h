#pragma once
// UmbraBHO: the object Internet Explorer makes for each browser window. Given its site,
// it subscribes to the browser's DWebBrowserEvents2 and, at every event, reads the
// pop-up killer settings afresh, closes unwanted windows and switches the hidden bars on.
// It answers IUmbraBHO, IDispatch, IMarshal (through an aggregated free-threaded
// marshaler) and IObjectWithSite.

#include "UmbraIEExt.h"
#include "core/PopupSettings.h"

#include <platform/ComServer.h>
#include <platform/WebBrowser.h>

namespace ieext {

// The compiled-in type library UMBRAIEEXTLib (DllGetTypeLibrary index 1).
const platform::TypeLibDescription& typeLibrary();
// The IUmbraBHO type information, loaded through the registration on first use.
platform::com::TypeInfoHolder& bhoTypeInfo();
// What the module does before it unloads: lets go of its type information.
void endModuleBookkeeping();

class UmbraBHO final : public IUmbraBHO, public IObjectWithSite, public platform::com::ObjectRoot {
public:
    UmbraBHO(IUnknown* outer, platform::com::ModuleLockCount& locks);
    ~UmbraBHO() override;

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;

    HRESULT GetTypeInfoCount(UINT* count) override;
    HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                          DISPID* ids) override;
    // The event handler: E_INVALIDARG without parameters, S_OK whatever happened.
    HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                   VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

    HRESULT SetSite(IUnknown* site) override;
    HRESULT GetSite(REFIID riid, void** site) override;

private:
    void* findInterface(REFIID riid) noexcept override;

    void handleEvent(DISPID id, const DISPPARAMS& params);
    void beforeNavigate(const DISPPARAMS& params, const PopupSettings& settings);
    bool closedByRules(IWebBrowser2& navigating, const VARIANT* url, const PopupSettings& settings);
    void switchOnBars(const PopupSettings& settings);
    void titleChange(const DISPPARAMS& params, const PopupSettings& settings);
    void subscribe();
    void unsubscribe();
    void removeSelf();

    IUnknown* m_marshaler = nullptr; // inner unknown of the aggregated marshaler
    IWebBrowser2* m_browser = nullptr;
    DWORD m_cookie = 0;
};

} // namespace ieext
