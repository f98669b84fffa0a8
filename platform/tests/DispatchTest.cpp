// Late binding over type information compiled into a module: type-library registration
// and LoadRegTypeLib, GetIDsOfNames, Invoke with argument conversion, and its errors.

#include "modules/ComSample.h"

#include <platform/Com.h>
#include <platform/Environment.h>
#include <platform/Modules.h>
#include <platform/OleAuto.h>
#include <platform/Registry.h>

#include <RegistryTree.h>
#include <TestSupport.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Lines = std::vector<std::string>;

std::string samplePath()
{
    return platform::toDosPath(testsupport::testModulesDir() / "platform_testmodule_ComSample" /
                               "ComSample.dll")
        .str();
}

HRESULT sampleExport(const char* name)
{
    HMODULE module = LoadLibrary(samplePath().c_str());
    auto fn = platform::proc<HRESULT (*)()>(module, name);
    const HRESULT hr = fn != nullptr ? fn() : E_FAIL;
    FreeLibrary(module);
    return hr;
}

std::string lastCall()
{
    HMODULE module = LoadLibrary(samplePath().c_str());
    auto fn = platform::proc<ComSampleLastCallFn>(module, "ComSampleLastCall");
    std::string text = fn != nullptr ? fn() : "";
    FreeLibrary(module);
    return text;
}

VARIANT integer(LONG value)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

VARIANT text(const char16_t* value)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(value);
    return v;
}

class DispatchTest : public testsupport::PrefixTest {
protected:
    void SetUp() override
    {
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        ASSERT_EQ(sampleExport("DllRegisterServer"), S_OK);
        ASSERT_EQ(CoCreateInstance(CLSID_Sample, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                   reinterpret_cast<void**>(&m_dispatch)),
                  S_OK);
    }
    void TearDown() override
    {
        if (m_dispatch != nullptr) {
            m_dispatch->Release();
        }
        CoUninitialize();
    }
    // args in call order; DISPPARAMS wants them reversed.
    HRESULT invoke(DISPID id, std::vector<VARIANT> args, UINT* argError = nullptr,
                   EXCEPINFO* exception = nullptr, WORD flags = DISPATCH_METHOD)
    {
        std::vector<VARIANT> reversed(args.rbegin(), args.rend());
        DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
        VARIANT result;
        VariantInit(&result);
        const HRESULT hr = m_dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                              &result, exception, argError);
        for (VARIANT& v : reversed) {
            VariantClear(&v);
        }
        VariantClear(&result);
        return hr;
    }
    DISPID idOf(const char16_t* name)
    {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        DISPID id = 0;
        return SUCCEEDED(m_dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))
                   ? id
                   : DISPID_UNKNOWN;
    }

    IDispatch* m_dispatch = nullptr;
};

} // namespace

TEST_F(DispatchTest, TypeLibraryIsRegisteredAndFoundThroughTheRegistry)
{
    const std::string base = "TypeLib\\{9C83535B-6D44-478E-83A5-9958473798F1}";
    const std::string folder = samplePath().substr(0, samplePath().find_last_of('\\'));
    EXPECT_EQ(
        testsupport::registryTree(HKEY_CLASSES_ROOT, base),
        (Lines{base, base + "\\1.0", base + "\\1.0 = Sample 1.0 Type Library", base + "\\1.0\\0",
               base + "\\1.0\\0\\win32", base + "\\1.0\\0\\win32 = " + samplePath(),
               base + "\\1.0\\FLAGS", base + "\\1.0\\FLAGS = 0", base + "\\1.0\\HELPDIR",
               base + "\\1.0\\HELPDIR = " + folder}));

    ITypeLib* lib = nullptr;
    ASSERT_EQ(LoadRegTypeLib(LIBID_SampleLib, 1, 0, 0x409, &lib), S_OK);
    EXPECT_EQ(lib->GetTypeInfoCount(), 2u);
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(lib->GetLibAttr(&attr), S_OK);
    EXPECT_EQ(attr->lcid, 0x409u);
    EXPECT_EQ(attr->wMajorVerNum, 1);
    lib->ReleaseTLibAttr(attr);
    platform::Bstr name;
    platform::Bstr doc;
    ASSERT_EQ(lib->GetDocumentation(-1, name.out(), doc.out(), nullptr, nullptr), S_OK);
    EXPECT_EQ(name.utf8(), "SAMPLELib");
    EXPECT_EQ(doc.utf8(), "Sample 1.0 Type Library");
    BOOL found = FALSE;
    ASSERT_EQ(lib->IsName(const_cast<LPOLESTR>(u"measure"), 0, &found), S_OK);
    EXPECT_TRUE(found);
    lib->Release();

    ITypeLib* missing = nullptr;
    EXPECT_EQ(LoadRegTypeLib(LIBID_SampleLib, 2, 0, 0, &missing), TYPE_E_LIBNOTREGISTERED);

    // Unregistering takes the library's keys away, and late binding with them.
    ASSERT_EQ(sampleExport("DllUnregisterServer"), S_OK);
    EXPECT_EQ(testsupport::registryTree(HKEY_CLASSES_ROOT, base), Lines{});
    EXPECT_EQ(LoadRegTypeLib(LIBID_SampleLib, 1, 0, 0, &missing), TYPE_E_LIBNOTREGISTERED);
}

TEST_F(DispatchTest, TypeInformationDescribesTheDualInterface)
{
    UINT count = 0;
    ASSERT_EQ(m_dispatch->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    ITypeInfo* info = nullptr;
    EXPECT_EQ(m_dispatch->GetTypeInfo(1, 0, &info), DISP_E_BADINDEX);
    ASSERT_EQ(m_dispatch->GetTypeInfo(0, 0, &info), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_TRUE(IsEqualGUID(attr->guid, IID_ISample));
    EXPECT_EQ(attr->cFuncs, 4);
    EXPECT_EQ(attr->wTypeFlags &
                  (TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE),
              TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE);
    info->ReleaseTypeAttr(attr);
    BSTR names[4] = {};
    UINT got = 0;
    ASSERT_EQ(info->GetNames(1, names, 4, &got), S_OK);
    ASSERT_EQ(got, 4u);
    EXPECT_EQ(std::u16string(names[0]), u"Record");
    EXPECT_EQ(std::u16string(names[2]), u"text");
    for (UINT i = 0; i < got; ++i) {
        SysFreeString(names[i]);
    }
    platform::Bstr help;
    ASSERT_EQ(info->GetDocumentation(2, nullptr, help.out(), nullptr, nullptr), S_OK);
    EXPECT_EQ(help.utf8(), "method Measure");
    info->Release();
}

TEST_F(DispatchTest, NamesMapToDispatchIdsWithoutRegardToCase)
{
    EXPECT_EQ(idOf(u"Record"), 1);
    EXPECT_EQ(idOf(u"mEaSuRe"), 2);
    EXPECT_EQ(idOf(u"Fail"), 4);
    EXPECT_EQ(idOf(u"Nothing"), DISPID_UNKNOWN);

    LPOLESTR names[] = {const_cast<LPOLESTR>(u"Record"), const_cast<LPOLESTR>(u"count"),
                        const_cast<LPOLESTR>(u"bogus")};
    DISPID ids[3] = {};
    EXPECT_EQ(m_dispatch->GetIDsOfNames(IID_NULL, names, 3, 0, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], 1);
    EXPECT_EQ(ids[1], 2); // parameters are numbered by position
    EXPECT_EQ(ids[2], DISPID_UNKNOWN);
    EXPECT_EQ(m_dispatch->GetIDsOfNames(IID_ISample, names, 1, 0, ids), DISP_E_UNKNOWNINTERFACE);
}

TEST_F(DispatchTest, InvokeConvertsArgumentsToTheDeclaredTypes)
{
    // Text where a number is declared, a number where text is declared.
    ASSERT_EQ(invoke(1, {text(u"42"), integer(8080), text(u"7")}), S_OK);
    EXPECT_EQ(lastCall(), "Record 42 [8080] 7");
    ASSERT_EQ(invoke(1, {integer(-3), text(u"h\u00e9te"), integer(0)}), S_OK);
    EXPECT_EQ(lastCall(), "Record -3 [h\xC3\xA9te] 0");
    // A null BSTR reaches an 8-bit text parameter as an empty text, never a null pointer.
    VARIANT nullText;
    VariantInit(&nullText);
    nullText.vt = VT_BSTR;
    ASSERT_EQ(invoke(1, {integer(1), nullText, integer(1)}), S_OK);
    EXPECT_EQ(lastCall(), "Record 1 [] 1");

    VARIANT real;
    VariantInit(&real);
    real.vt = VT_R8;
    real.dblVal = 2.5;
    VARIANT flag;
    VariantInit(&flag);
    flag.vt = VT_BOOL;
    flag.boolVal = VARIANT_TRUE;
    ASSERT_EQ(invoke(2, {integer(3), real, text(u"255"), flag}), S_OK);
    EXPECT_EQ(lastCall(), "Measure 3 2 255 -1");

    // Arguments by reference are read through.
    LONG behind = 9;
    VARIANT byRef;
    VariantInit(&byRef);
    byRef.vt = VT_I4 | VT_BYREF;
    byRef.plVal = &behind;
    ASSERT_EQ(invoke(1, {byRef, text(u"r"), integer(1)}), S_OK);
    EXPECT_EQ(lastCall(), "Record 9 [r] 1");
}

TEST_F(DispatchTest, InvokeReportsBadCallsWithoutCallingTheMethod)
{
    ASSERT_EQ(invoke(3, {}), S_FALSE); // a success code of the method comes back as is
    ASSERT_EQ(lastCall(), "Refuse");

    EXPECT_EQ(invoke(1, {integer(1), text(u"x")}), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(invoke(3, {integer(1)}), DISP_E_BADPARAMCOUNT);
    UINT argError = 99;
    EXPECT_EQ(invoke(1, {integer(1), text(u"x"), text(u"many")}, &argError), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argError, 0u); // the last argument sits first in the reversed array
    argError = 99;
    EXPECT_EQ(invoke(2, {text(u"pi"), integer(1), integer(1), integer(0)}, &argError),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argError, 3u);
    argError = 99;
    EXPECT_EQ(invoke(2, {integer(1), integer(40000), integer(1), integer(0)}, &argError),
              DISP_E_OVERFLOW);
    EXPECT_EQ(argError, 2u);
    EXPECT_EQ(invoke(99, {}), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(invoke(3, {}, nullptr, nullptr, DISPATCH_PROPERTYGET), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(lastCall(), "Refuse"); // none of them reached the object

    DISPID named = 0;
    VARIANT arg = integer(1);
    DISPPARAMS params{&arg, &named, 1, 1};
    EXPECT_EQ(
        m_dispatch->Invoke(3, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
        DISP_E_NONAMEDARGS);
}

TEST_F(DispatchTest, FailingMethodSurfacesAsAnException)
{
    EXCEPINFO exception{};
    EXPECT_EQ(invoke(4, {}, nullptr, &exception), DISP_E_EXCEPTION);
    EXPECT_EQ(exception.scode, E_ACCESSDENIED);
    EXPECT_EQ(lastCall(), "Fail");
}
