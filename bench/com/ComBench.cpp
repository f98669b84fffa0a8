// The COM benchmark: what late binding costs over a call through the function table, and
// what creating an object of a loaded server costs.

#include "modules/ComSample.h"

#include <platform/Com.h>
#include <platform/Environment.h>
#include <platform/Modules.h>
#include <platform/OleAuto.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRounds = 31;
constexpr int kCallsPerRound = 20000;
constexpr int kCreatesPerRound = 2000;

double median(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "com bench: %s\n", what);
    std::exit(1);
}

template <typename Body> double nanosecondsPerCall(int calls, Body body)
{
    std::vector<double> rounds;
    for (int r = 0; r < kRounds; ++r) {
        const auto start = Clock::now();
        for (int i = 0; i < calls; ++i) {
            body();
        }
        rounds.push_back(std::chrono::duration<double, std::nano>(Clock::now() - start).count() /
                         calls);
    }
    return median(rounds);
}

} // namespace

int main()
{
    char folder[] = "/tmp/umbravia-com-bench-XXXXXX";
    if (::mkdtemp(folder) == nullptr) {
        fail("no temporary folder");
    }
    platform::setPrefix(folder);
    const std::string module = platform::toDosPath(COM_SAMPLE_MODULE).str();
    HMODULE server = LoadLibrary(module.c_str());
    auto registerServer = platform::proc<HRESULT (*)()>(server, "DllRegisterServer");
    if (registerServer == nullptr || registerServer() != S_OK) {
        fail("the sample server does not register");
    }
    if (CoInitialize(nullptr) != S_OK) {
        fail("CoInitialize");
    }
    ISample* sample = nullptr;
    if (CoCreateInstance(CLSID_Sample, nullptr, CLSCTX_INPROC_SERVER, IID_ISample,
                         reinterpret_cast<void**>(&sample)) != S_OK) {
        fail("CoCreateInstance");
    }

    char text[] = "127.0.0.1";
    const double vtable = nanosecondsPerCall(kCallsPerRound, [&] {
        if (sample->Record(1, text, 8080) != S_OK) {
            fail("vtable call");
        }
    });

    LPOLESTR names[] = {const_cast<LPOLESTR>(u"Record")};
    DISPID id = 0;
    if (sample->GetIDsOfNames(IID_NULL, names, 1, 0, &id) != S_OK) {
        fail("GetIDsOfNames");
    }
    VARIANT args[3];
    for (VARIANT& v : args) {
        VariantInit(&v);
    }
    args[2].vt = VT_I4; // number
    args[2].lVal = 1;
    args[1].vt = VT_BSTR; // text
    args[1].bstrVal = SysAllocString(u"127.0.0.1");
    args[0].vt = VT_BSTR; // count, given as text
    args[0].bstrVal = SysAllocString(u"8080");
    DISPPARAMS params{args, nullptr, 3, 0};
    const double invoke = nanosecondsPerCall(kCallsPerRound, [&] {
        if (sample->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr) !=
            S_OK) {
            fail("Invoke");
        }
    });
    for (VARIANT& v : args) {
        VariantClear(&v);
    }

    const double create = nanosecondsPerCall(kCreatesPerRound, [&] {
        IUnknown* object = nullptr;
        if (CoCreateInstance(CLSID_Sample, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             reinterpret_cast<void**>(&object)) != S_OK) {
            fail("CoCreateInstance");
        }
        object->Release();
    });

    sample->Release();
    CoUninitialize();
    FreeLibrary(server);
    std::filesystem::remove_all(folder);
    std::printf("com.vtable_call_ns %.0f ns\n", vtable);
    std::printf("com.invoke_ns %.0f ns\n", invoke);
    std::printf("com.create_us %.1f us\n", create / 1000.0);
    return 0;
}
