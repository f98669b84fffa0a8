// The COM runtime: GUID text forms, BSTR and VARIANT layout and conversion, apartments,
// activation through the registry (with its failures), reference counts, aggregation,
// unloading of idle servers and the free-threaded marshaler.

#include "modules/ComSample.h"

#include <platform/Com.h>
#include <platform/Environment.h>
#include <platform/Modules.h>
#include <platform/OleAuto.h>
#include <platform/Registrar.h>
#include <platform/Registry.h>

#include <ComTestSupport.h>
#include <TestSupport.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

fs::path testModule(const std::string& name)
{
    return testsupport::testModulesDir() / ("platform_testmodule_" + name) / (name + ".dll");
}

std::string dosPath(const fs::path& host)
{
    return platform::toDosPath(host).str();
}

// {0E3C2A77-5C34-4D2B-9A31-6F8E5B4C2D10}: a class the tests register by hand.
constexpr CLSID kHandMadeClass{
    0x0E3C2A77, 0x5C34, 0x4D2B, {0x9A, 0x31, 0x6F, 0x8E, 0x5B, 0x4C, 0x2D, 0x10}};

void registerServer(const CLSID& clsid, const std::string& modulePath)
{
    const std::string script = "HKCR { NoRemove CLSID { ForceRemove " +
                               platform::guidToString(clsid) +
                               " { InprocServer32 = s '%MODULE%' } } }";
    ASSERT_EQ(platform::updateRegistryFromScript(script, {{"MODULE", modulePath}}, true), S_OK)
        << platform::registrarError();
}

HRESULT callSampleExport(const char* name)
{
    return testsupport::callModuleExport(dosPath(testModule("ComSample")), name);
}

bool sampleModuleLoaded()
{
    return testsupport::moduleFileLoaded(testModule("ComSample"));
}

class ComTest : public testsupport::PrefixTest {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
    void TearDown() override { CoUninitialize(); }

    ISample* createSample()
    {
        ISample* sample = nullptr;
        EXPECT_EQ(CoCreateInstance(CLSID_Sample, nullptr, CLSCTX_INPROC_SERVER, IID_ISample,
                                   reinterpret_cast<void**>(&sample)),
                  S_OK);
        return sample;
    }
};

using Outer = testsupport::OuterObject;

// A growable memory stream for the marshaler.
class MemoryStream final : public IStream {
public:
    HRESULT QueryInterface(REFIID, void** object) override
    {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT Read(void* data, ULONG size, ULONG* read) override
    {
        const ULONG n = static_cast<ULONG>(std::min<std::size_t>(size, m_bytes.size() - m_at));
        std::memcpy(data, m_bytes.data() + m_at, n);
        m_at += n;
        *read = n;
        return S_OK;
    }
    HRESULT Write(const void* data, ULONG size, ULONG* written) override
    {
        m_bytes.insert(m_bytes.end(), static_cast<const char*>(data),
                       static_cast<const char*>(data) + size);
        *written = size;
        return S_OK;
    }
    HRESULT Seek(LARGE_INTEGER move, DWORD, ULARGE_INTEGER*) override
    {
        m_at = static_cast<std::size_t>(move.QuadPart);
        return S_OK;
    }
    HRESULT SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    HRESULT CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override
    {
        return E_NOTIMPL;
    }
    HRESULT Commit(DWORD) override { return S_OK; }
    HRESULT Revert() override { return E_NOTIMPL; }
    HRESULT LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
    HRESULT Clone(IStream**) override { return E_NOTIMPL; }

private:
    std::vector<char> m_bytes;
    std::size_t m_at = 0;
};

} // namespace

TEST(GuidTest, TextFormsRoundTrip)
{
    EXPECT_EQ(platform::guidToString(IID_IDispatch), "{00020400-0000-0000-C000-000000000046}");
    const std::optional<GUID> parsed =
        platform::guidFromString("{a4fb8ea9-190f-4cea-8258-84d385f5cb5f}");
    ASSERT_TRUE(parsed);
    EXPECT_TRUE(IsEqualGUID(*parsed, CLSID_Sample));
    EXPECT_EQ(platform::guidToString(*parsed), "{A4FB8EA9-190F-4CEA-8258-84D385F5CB5F}");
    for (const char* bad :
         {"", "A4FB8EA9-190F-4CEA-8258-84D385F5CB5F", "{A4FB8EA9-190F-4CEA-8258-84D385F5CB5}",
          "{A4FB8EA9-190F-4CEA-8258+84D385F5CB5F}", "{G4FB8EA9-190F-4CEA-8258-84D385F5CB5F}",
          "{A4FB8EA9-190F-4CEA-8258-84D385F5CB5F}x"}) {
        EXPECT_FALSE(platform::guidFromString(bad)) << bad;
    }

    OLECHAR text[39];
    EXPECT_EQ(StringFromGUID2(CLSID_Sample, text, 38), 0); // no room for the zero
    ASSERT_EQ(StringFromGUID2(CLSID_Sample, text, 39), 39);
    EXPECT_EQ(std::u16string(text), u"{A4FB8EA9-190F-4CEA-8258-84D385F5CB5F}");
    CLSID back{};
    EXPECT_EQ(CLSIDFromString(text, &back), S_OK);
    EXPECT_TRUE(IsEqualCLSID(back, CLSID_Sample));
    EXPECT_EQ(IIDFromString(u"{nonsense}", &back), E_INVALIDARG);

    LPOLESTR allocated = nullptr;
    ASSERT_EQ(StringFromCLSID(IID_IUnknown, &allocated), S_OK);
    EXPECT_EQ(std::u16string(allocated), u"{00000000-0000-0000-C000-000000000046}");
    CoTaskMemFree(allocated);
}

TEST(GuidTest, Utf16ConversionKeepsEveryCharacter)
{
    const std::string text = "Prox\xC3\xBF \xE2\x82\xAC \xF0\x9F\x98\x80";
    const std::u16string wide = platform::toUtf16(text);
    EXPECT_EQ(wide.size(), 10u); // the emoji is a surrogate pair
    EXPECT_EQ(platform::fromUtf16(wide), text);
    EXPECT_EQ(platform::toUtf16("\xFF"), u"\uFFFD");
}

TEST(BstrTest, LengthPrefixAndTerminator)
{
    const OLECHAR source[] = {u'a', 0, u'b'};
    BSTR text = SysAllocStringLen(source, 3);
    ASSERT_NE(text, nullptr);
    DWORD prefix = 0;
    std::memcpy(&prefix, reinterpret_cast<const char*>(text) - 4, 4);
    EXPECT_EQ(prefix, 6u); // bytes, embedded zero included
    EXPECT_EQ(SysStringLen(text), 3u);
    EXPECT_EQ(text[3], 0);
    SysFreeString(text);

    BSTR odd = SysAllocStringByteLen("abc", 3);
    EXPECT_EQ(SysStringByteLen(odd), 3u);
    EXPECT_EQ(SysStringLen(odd), 1u);
    SysFreeString(odd);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    SysFreeString(nullptr);
}

TEST(VariantTest, ConversionsBetweenNumbersTextAndBooleans)
{
    VARIANT source;
    VARIANT dest;
    VariantInit(&source);
    VariantInit(&dest);

    source.vt = VT_BSTR;
    source.bstrVal = SysAllocString(u" 8080 ");
    ASSERT_EQ(VariantChangeType(&dest, &source, 0, VT_UINT), S_OK);
    EXPECT_EQ(dest.vt, VT_UINT);
    EXPECT_EQ(dest.uintVal, 8080u);
    EXPECT_EQ(VariantChangeType(&dest, &source, 0, VT_UI1), DISP_E_OVERFLOW);
    VariantClear(&source);

    source.vt = VT_BSTR;
    source.bstrVal = SysAllocString(u"eighty");
    EXPECT_EQ(VariantChangeType(&dest, &source, 0, VT_I4), DISP_E_TYPEMISMATCH);
    VariantClear(&source);

    source.vt = VT_R8;
    source.dblVal = 2.5;
    ASSERT_EQ(VariantChangeType(&dest, &source, 0, VT_I4), S_OK);
    EXPECT_EQ(dest.lVal, 2); // half to even
    source.dblVal = 3.5;
    ASSERT_EQ(VariantChangeType(&dest, &source, 0, VT_I4), S_OK);
    EXPECT_EQ(dest.lVal, 4);

    source.vt = VT_I4;
    source.lVal = -1;
    EXPECT_EQ(VariantChangeType(&dest, &source, 0, VT_UINT), DISP_E_OVERFLOW);
    ASSERT_EQ(VariantChangeType(&dest, &source, 0, VT_BOOL), S_OK);
    EXPECT_EQ(dest.boolVal, VARIANT_TRUE);
    ASSERT_EQ(VariantChangeType(&dest, &source, 0, VT_BSTR), S_OK);
    EXPECT_EQ(std::u16string(dest.bstrVal), u"-1");
    VariantClear(&dest);

    source.vt = VT_BOOL;
    source.boolVal = VARIANT_TRUE;
    ASSERT_EQ(VariantChangeType(&dest, &source, 0, VT_I4), S_OK);
    EXPECT_EQ(dest.lVal, -1);

    source.vt = VT_NULL;
    EXPECT_EQ(VariantChangeType(&dest, &source, 0, VT_I4), DISP_E_TYPEMISMATCH);
    source.vt = VT_EMPTY;
    ASSERT_EQ(VariantChangeType(&dest, &source, 0, VT_I4), S_OK);
    EXPECT_EQ(dest.lVal, 0);

    // By reference: the value behind the pointer.
    LONG behind = 7;
    source.vt = VT_I4 | VT_BYREF;
    source.plVal = &behind;
    ASSERT_EQ(VariantChangeType(&dest, &source, 0, VT_R8), S_OK);
    EXPECT_EQ(dest.dblVal, 7.0);

    // Converting in place replaces the text.
    VARIANT inPlace;
    VariantInit(&inPlace);
    inPlace.vt = VT_BSTR;
    inPlace.bstrVal = SysAllocString(u"42");
    ASSERT_EQ(VariantChangeType(&inPlace, &inPlace, 0, VT_I2), S_OK);
    EXPECT_EQ(inPlace.vt, VT_I2);
    EXPECT_EQ(inPlace.iVal, 42);
}

TEST(ApartmentTest, InitialisationCountsPerThreadAndGuardsTheModel)
{
    testsupport::TempPrefix prefix;
    IUnknown* object = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_Sample, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&object)),
              CO_E_NOTINITIALIZED);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    EXPECT_EQ(OleInitialize(nullptr), S_FALSE);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
    std::thread([] {
        // Another thread has its own apartment.
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        CoUninitialize();
    }).join();
    OleUninitialize();
    CoUninitialize();
    EXPECT_EQ(CoCreateInstance(CLSID_Sample, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&object)),
              CO_E_NOTINITIALIZED);
}

TEST_F(ComTest, ActivationFailuresHaveTheirOwnCodes)
{
    IUnknown* object = reinterpret_cast<IUnknown*>(1);
    // Not registered.
    EXPECT_EQ(CoCreateInstance(kHandMadeClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&object)),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(object, nullptr);

    // Registered, but its module is missing.
    registerServer(kHandMadeClass, "C:\\Program Files\\Gone\\Missing.dll");
    EXPECT_EQ(CoCreateInstance(kHandMadeClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&object)),
              CO_E_DLLNOTFOUND);

    // A module without DllGetClassObject.
    registerServer(kHandMadeClass, dosPath(testModule("ComWithoutEntry")));
    EXPECT_EQ(CoCreateInstance(kHandMadeClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&object)),
              CO_E_ERRORINDLL);

    // A module that refuses the class.
    registerServer(kHandMadeClass, dosPath(testModule("ComRefusing")));
    EXPECT_EQ(CoCreateInstance(kHandMadeClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&object)),
              CLASS_E_CLASSNOTAVAILABLE);

    // The sample module asked for a class it does not serve.
    registerServer(kHandMadeClass, dosPath(testModule("ComSample")));
    EXPECT_EQ(CoCreateInstance(kHandMadeClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&object)),
              CLASS_E_CLASSNOTAVAILABLE);

    // Only in-process servers exist.
    ASSERT_EQ(callSampleExport("DllRegisterServer"), S_OK);
    EXPECT_EQ(CoCreateInstance(CLSID_Sample, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&object)),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(object, nullptr);
}

TEST_F(ComTest, CreatedObjectAnswersItsInterfacesAndCountsReferences)
{
    ASSERT_EQ(callSampleExport("DllRegisterServer"), S_OK);
    ISample* sample = createSample();
    ASSERT_NE(sample, nullptr);
    EXPECT_EQ(sample->Record(5, const_cast<char*>("text"), 2), S_OK);

    IUnknown* unknown = nullptr;
    ASSERT_EQ(sample->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    IDispatch* dispatch = nullptr;
    ASSERT_EQ(sample->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
    // IUnknown is the object's identity: asked through any interface, the same pointer.
    IUnknown* again = nullptr;
    ASSERT_EQ(dispatch->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&again)), S_OK);
    EXPECT_EQ(again, unknown);
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(sample->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);

    EXPECT_EQ(sample->AddRef(), 5u);
    EXPECT_EQ(sample->Release(), 4u);
    EXPECT_EQ(again->Release(), 3u);
    EXPECT_EQ(dispatch->Release(), 2u);
    EXPECT_EQ(unknown->Release(), 1u);
    EXPECT_EQ(sample->Release(), 0u);

    // Asking for an interface the class lacks creates nothing that lingers.
    EXPECT_EQ(
        CoCreateInstance(CLSID_Sample, nullptr, CLSCTX_INPROC_SERVER, IID_IClassFactory, &none),
        E_NOINTERFACE);
    EXPECT_EQ(callSampleExport("DllCanUnloadNow"), S_OK);
}

TEST_F(ComTest, AggregatedObjectDelegatesToItsOuterObject)
{
    ASSERT_EQ(callSampleExport("DllRegisterServer"), S_OK);
    Outer outer;
    void* refused = reinterpret_cast<void*>(1);
    EXPECT_EQ(CoCreateInstance(CLSID_Sample, &outer, CLSCTX_INPROC_SERVER, IID_ISample, &refused),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(refused, nullptr);

    ASSERT_EQ(CoCreateInstance(CLSID_Sample, &outer, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&outer.m_inner)),
              S_OK);
    EXPECT_EQ(outer.m_refs.load(), 1u); // the inner unknown counts on its own

    ISample* sample = nullptr;
    ASSERT_EQ(outer.QueryInterface(IID_ISample, reinterpret_cast<void**>(&sample)), S_OK);
    EXPECT_EQ(outer.m_refs.load(), 2u); // the inner object's interfaces count on the outer one
    IUnknown* identity = nullptr;
    ASSERT_EQ(sample->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, static_cast<IUnknown*>(&outer));
    identity->Release();
    EXPECT_EQ(sample->Refuse(), S_FALSE);
    sample->Release();
    EXPECT_EQ(outer.m_refs.load(), 1u);

    EXPECT_EQ(callSampleExport("DllCanUnloadNow"), S_FALSE); // the inner object lives
    EXPECT_EQ(outer.m_inner->Release(), 0u);
    EXPECT_EQ(callSampleExport("DllCanUnloadNow"), S_OK);
}

TEST_F(ComTest, IdleServersUnloadOnlyWhenNothingIsOutstanding)
{
    ASSERT_EQ(callSampleExport("DllRegisterServer"), S_OK);
    ASSERT_FALSE(sampleModuleLoaded());
    ISample* sample = createSample();
    ASSERT_NE(sample, nullptr);
    EXPECT_TRUE(sampleModuleLoaded());
    CoFreeUnusedLibraries();
    EXPECT_TRUE(sampleModuleLoaded()); // an object is alive
    sample->Release();

    IClassFactory* factory = nullptr;
    ASSERT_EQ(CoGetClassObject(CLSID_Sample, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               reinterpret_cast<void**>(&factory)),
              S_OK);
    ASSERT_EQ(factory->LockServer(TRUE), S_OK);
    factory->Release();
    CoFreeUnusedLibraries();
    EXPECT_TRUE(sampleModuleLoaded()); // locked
    ASSERT_EQ(CoGetClassObject(CLSID_Sample, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               reinterpret_cast<void**>(&factory)),
              S_OK);
    factory->LockServer(FALSE);
    factory->Release();
    CoFreeUnusedLibraries();
    EXPECT_FALSE(sampleModuleLoaded());
}

TEST_F(ComTest, ThreadsCreateAndCallObjectsAtTheSameTime)
{
    ASSERT_EQ(callSampleExport("DllRegisterServer"), S_OK);
    constexpr int kThreads = 8;
    constexpr int kRounds = 50;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&failures, t] {
            if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
                ++failures;
                return;
            }
            for (int round = 0; round < kRounds; ++round) {
                ISample* sample = nullptr;
                if (CoCreateInstance(CLSID_Sample, nullptr, CLSCTX_INPROC_SERVER, IID_ISample,
                                     reinterpret_cast<void**>(&sample)) != S_OK ||
                    sample->Record(t, const_cast<char*>("thread"), round) != S_OK ||
                    sample->Release() != 0) {
                    ++failures;
                }
                CoFreeUnusedLibraries(); // other threads' objects keep the module loaded
            }
            CoUninitialize();
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(callSampleExport("DllCanUnloadNow"), S_OK);
}

TEST_F(ComTest, FreeThreadedMarshalerPassesThePointerWithinTheProcess)
{
    ASSERT_EQ(callSampleExport("DllRegisterServer"), S_OK);
    ISample* sample = createSample();
    ASSERT_NE(sample, nullptr);
    Outer owner;
    IUnknown* marshalerInner = nullptr;
    ASSERT_EQ(CoCreateFreeThreadedMarshaler(&owner, &marshalerInner), S_OK);
    IMarshal* marshal = nullptr;
    ASSERT_EQ(marshalerInner->QueryInterface(IID_IMarshal, reinterpret_cast<void**>(&marshal)),
              S_OK);
    EXPECT_EQ(owner.m_refs.load(), 2u); // aggregated: its interface counts on the owner

    CLSID unmarshaler{};
    ASSERT_EQ(marshal->GetUnmarshalClass(IID_ISample, sample, MSHCTX_INPROC, nullptr,
                                         MSHLFLAGS_NORMAL, &unmarshaler),
              S_OK);
    EXPECT_TRUE(IsEqualCLSID(unmarshaler, CLSID_InProcFreeMarshaler));
    EXPECT_EQ(marshal->GetUnmarshalClass(IID_ISample, sample, MSHCTX_DIFFERENTMACHINE, nullptr,
                                         MSHLFLAGS_NORMAL, &unmarshaler),
              E_NOTIMPL);

    MemoryStream stream;
    ASSERT_EQ(marshal->MarshalInterface(&stream, IID_ISample, sample, MSHCTX_INPROC, nullptr,
                                        MSHLFLAGS_NORMAL),
              S_OK);
    sample->Release(); // the stream holds the object now
    LARGE_INTEGER start{0};
    stream.Seek(start, 0, nullptr);
    ISample* unmarshaled = nullptr;
    ASSERT_EQ(
        marshal->UnmarshalInterface(&stream, IID_ISample, reinterpret_cast<void**>(&unmarshaled)),
        S_OK);
    EXPECT_EQ(unmarshaled->Refuse(), S_FALSE);
    EXPECT_EQ(unmarshaled->Release(), 0u);

    marshal->Release();
    EXPECT_EQ(marshalerInner->Release(), 0u);
    EXPECT_EQ(owner.m_refs.load(), 1u);
}

TEST_F(ComTest, ProgIdLeadsToTheClass)
{
    ASSERT_EQ(callSampleExport("DllRegisterServer"), S_OK);
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(u"umbravia.sample.1", &clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_Sample));
    ASSERT_EQ(CLSIDFromString(u"Umbravia.Sample.1", &clsid), S_OK);
    EXPECT_EQ(CLSIDFromProgID(u"Umbravia.Nothing", &clsid), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(CLSIDFromString(u"Umbravia.Nothing", &clsid), CO_E_CLASSSTRING);
}
