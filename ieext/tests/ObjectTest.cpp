// The UmbraBHO object as COM sees it: the interfaces it answers and refuses, its identity
// through the aggregated marshaler, its site, its type information from the registered
// library, aggregation, the module's unload answer, and the browser interface's layout.

#include "BhoFixture.h"

#include <platform/OleAuto.h>

#include <UmbraIEExt.h>

namespace {

using ieexttest::BhoTest;
using ieexttest::BrowserLayout;
using ieexttest::TestBrowser;

class ObjectTest : public BhoTest {
protected:
    IUnknown* create()
    {
        IUnknown* object = nullptr;
        EXPECT_EQ(CoCreateInstance(ieext::CLSID_UmbraBHO, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IUnknown, reinterpret_cast<void**>(&object)),
                  S_OK);
        return object;
    }
};

// A site that is no browser.
class PlainSite final : public IUnknown {
public:
    HRESULT QueryInterface(REFIID riid, void** object) override
    {
        if (IsEqualIID(riid, IID_IUnknown)) {
            *object = this;
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override { return --m_refs; }
    ULONG m_refs = 1;
};

TEST_F(ObjectTest, AnswersExactlyItsFourInterfacesWithOneIdentity)
{
    IUnknown* object = create();
    ASSERT_NE(object, nullptr);
    for (const IID& iid :
         {ieext::IID_IUmbraBHO, IID_IDispatch, IID_IMarshal, IID_IObjectWithSite}) {
        IUnknown* answer = nullptr;
        ASSERT_EQ(object->QueryInterface(iid, reinterpret_cast<void**>(&answer)), S_OK)
            << platform::guidToString(iid);
        // Back to IUnknown gives the object itself, the marshaler included.
        IUnknown* identity = nullptr;
        ASSERT_EQ(answer->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
        EXPECT_EQ(identity, object) << platform::guidToString(iid);
        identity->Release();
        answer->Release();
    }
    for (const IID& iid : {IID_IClassFactory, IID_IWebBrowser2, IID_IConnectionPoint,
                           IID_IConnectionPointContainer, IID_ITypeInfo}) {
        void* answer = reinterpret_cast<void*>(1);
        EXPECT_EQ(object->QueryInterface(iid, &answer), E_NOINTERFACE)
            << platform::guidToString(iid);
        EXPECT_EQ(answer, nullptr);
    }
    IMarshal* marshal = nullptr;
    ASSERT_EQ(object->QueryInterface(IID_IMarshal, reinterpret_cast<void**>(&marshal)), S_OK);
    CLSID unmarshaler{};
    EXPECT_EQ(marshal->GetUnmarshalClass(IID_IDispatch, nullptr, MSHCTX_INPROC, nullptr,
                                         MSHLFLAGS_NORMAL, &unmarshaler),
              S_OK);
    EXPECT_EQ(unmarshaler, CLSID_InProcFreeMarshaler);
    marshal->Release();
    EXPECT_EQ(object->Release(), 0u);
}

TEST_F(ObjectTest, SiteIsTakenOnlyFromABrowserAndNeverHandedBack)
{
    IUnknown* object = create();
    IObjectWithSite* withSite = nullptr;
    ASSERT_EQ(object->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&withSite)),
              S_OK);
    EXPECT_EQ(withSite->SetSite(nullptr), S_OK);
    PlainSite plain;
    EXPECT_EQ(withSite->SetSite(&plain), S_OK);
    EXPECT_EQ(plain.m_refs, 1u); // nothing kept from a site that is no browser

    const BrowserLayout layout;
    TestBrowser browser(&layout);
    const ULONG before = browser.references();
    EXPECT_EQ(withSite->SetSite(static_cast<IWebBrowser2*>(&browser)), S_OK);
    EXPECT_EQ(browser.subscribers(), 1);
    // A second site replaces the first without a second subscription.
    EXPECT_EQ(withSite->SetSite(static_cast<IWebBrowser2*>(&browser)), S_OK);
    EXPECT_EQ(browser.subscribers(), 1);

    void* site = reinterpret_cast<void*>(1);
    EXPECT_EQ(withSite->GetSite(IID_IUnknown, &site), E_FAIL);
    EXPECT_EQ(site, nullptr);

    browser.fireQuit();
    EXPECT_EQ(browser.subscribers(), 0);
    withSite->Release();
    object->Release();
    EXPECT_EQ(browser.references(), before);
}

TEST_F(ObjectTest, TypeInformationComesFromTheRegisteredLibrary)
{
    IUnknown* object = create();
    IDispatch* dispatch = nullptr;
    ASSERT_EQ(object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
    UINT count = 0;
    EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    ITypeInfo* info = nullptr;
    ASSERT_EQ(dispatch->GetTypeInfo(0, 0, &info), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->guid, ieext::IID_IUmbraBHO);
    EXPECT_EQ(attr->cFuncs, 0);
    EXPECT_NE(attr->wTypeFlags & TYPEFLAG_FDUAL, 0);
    info->ReleaseTypeAttr(attr);
    ITypeLib* lib = nullptr;
    UINT index = 0;
    ASSERT_EQ(info->GetContainingTypeLib(&lib, &index), S_OK);
    platform::Bstr name;
    platform::Bstr help;
    EXPECT_EQ(lib->GetDocumentation(-1, name.out(), help.out(), nullptr, nullptr), S_OK);
    EXPECT_EQ(name.utf8(), "UMBRAIEEXTLib");
    EXPECT_EQ(help.utf8(), "UmbraIEExt 1.0 Type Library");
    lib->Release();
    info->Release();
    // No names to look up: the interface adds none.
    platform::Bstr unknown(std::u16string_view(u"Navigate"));
    LPOLESTR names[] = {unknown.get()};
    DISPID id = 0;
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id), DISP_E_UNKNOWNNAME);
    dispatch->Release();
    object->Release();
}

TEST_F(ObjectTest, ProgIdsAggregationAndUnloading)
{
    CLSID clsid{};
    EXPECT_EQ(CLSIDFromProgID(u"UmbraIEExt.UmbraBHO", &clsid), S_OK);
    EXPECT_EQ(clsid, ieext::CLSID_UmbraBHO);
    EXPECT_EQ(CLSIDFromProgID(u"UmbraIEExt.UmbraBHO.1", &clsid), S_OK);
    EXPECT_EQ(clsid, ieext::CLSID_UmbraBHO);

    testsupport::OuterObject outer;
    void* refused = nullptr;
    EXPECT_EQ(CoCreateInstance(ieext::CLSID_UmbraBHO, &outer, CLSCTX_INPROC_SERVER, IID_IDispatch,
                               &refused),
              CLASS_E_NOAGGREGATION);
    ASSERT_EQ(CoCreateInstance(ieext::CLSID_UmbraBHO, &outer, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&outer.m_inner)),
              S_OK);
    // Interfaces of the aggregated object count on the outer object, the marshaler's too.
    IMarshal* marshal = nullptr;
    ASSERT_EQ(outer.QueryInterface(IID_IMarshal, reinterpret_cast<void**>(&marshal)), S_OK);
    EXPECT_EQ(outer.m_refs, 2u);
    IUnknown* identity = nullptr;
    ASSERT_EQ(marshal->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, static_cast<IUnknown*>(&outer));
    identity->Release();
    marshal->Release();
    EXPECT_EQ(outer.m_refs, 1u);

    // The module stays while an object lives.
    EXPECT_EQ(testsupport::callModuleExport(ieexttest::moduleDosPath(), "DllCanUnloadNow"),
              S_FALSE);
    outer.m_inner->Release();
    EXPECT_EQ(testsupport::callModuleExport(ieexttest::moduleDosPath(), "DllCanUnloadNow"), S_OK);
    CoFreeUnusedLibraries();
    EXPECT_FALSE(testsupport::moduleFileLoaded(ieexttest::modulePath()));
}

// Slot numbers of IWebBrowser2 as a COM caller counts them: the three IUnknown and four
// IDispatch methods, IWebBrowser's 25, IWebBrowserApp's 20, then IWebBrowser2's 19.
TEST(WebBrowserLayout, MethodsSitInTheirWin32Slots)
{
    const BrowserLayout layout;
    TestBrowser browser(&layout);
    auto* instance = static_cast<IWebBrowser2*>(&browser);
    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(DispCallFunc(instance, 32 * sizeof(void*), CC_STDCALL, VT_HRESULT, 0, nullptr,
                           nullptr, &result),
              S_OK); // Quit
    EXPECT_EQ(browser.quits(), 1);

    VARIANT shown;
    VariantInit(&shown);
    shown.vt = VT_BOOL;
    shown.boolVal = VARIANT_TRUE;
    VARTYPE types[] = {VT_BOOL};
    VARIANTARG* args[] = {&shown};
    ASSERT_EQ(
        DispCallFunc(instance, 70 * sizeof(void*), CC_STDCALL, VT_HRESULT, 1, types, args, &result),
        S_OK); // put_Resizable
    EXPECT_TRUE(browser.resizable());

    VARIANT height;
    VariantInit(&height);
    height.vt = VT_I4;
    height.lVal = 333;
    VARTYPE heightTypes[] = {VT_I4};
    VARIANTARG* heightArgs[] = {&height};
    ASSERT_EQ(DispCallFunc(instance, 28 * sizeof(void*), CC_STDCALL, VT_HRESULT, 1, heightTypes,
                           heightArgs, &result),
              S_OK); // put_Height
    EXPECT_EQ(browser.height(), 333);
}

} // namespace

int main(int argc, char** argv)
{
    return ieexttest::runTests(argc, argv);
}
