#pragma once
// A fixture that loads the real Filters.dll, registers it in the test's own prefix and
// calls its exports the way the host does.

#include <common/PluginContract.h>
#include <common/Settings.h>
#include <platform/MessageBox.h>

#include <TestSupport.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace filters::testing {

class FiltersModule : public testsupport::PrefixTest {
protected:
    void SetUp() override
    {
        const std::string path = (testsupport::binDir() / "Filters.dll").string();
        m_module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(m_module, nullptr) << dlerror();
        m_registerDll = bind<RegisterDLLFn>(contract::RegisterDLL);
        m_unregisterDll = bind<UnRegisterDLLFn>(contract::UnRegisterDLL);
        m_setMainWindow = bind<SetMainWindowFn>(contract::SetMainWindow);
        m_filterRequest = bind<FilterRequestFn>(contract::FilterRequest);
        m_filterResponse = bind<FilterResponseFn>(contract::FilterResponse);
        m_free = bind<FreeFilteredDataBufFn>(contract::FreeFilteredDataBuf);
        ASSERT_EQ(m_registerDll("C:\\Program Files\\Umbravia\\Filters.dll"), 1);
        setLevel(0xFFFFFFFF);
    }

    void TearDown() override
    {
        if (m_module != nullptr) {
            m_setMainWindow(0);
            dlclose(m_module);
        }
    }

    template <typename Fn> Fn bind(const char* name)
    {
        Fn fn = reinterpret_cast<Fn>(dlsym(m_module, name));
        EXPECT_NE(fn, nullptr) << name;
        return fn;
    }

    static settings::Key key(const char* path)
    {
        return settings::Key::create(HKEY_LOCAL_MACHINE, path);
    }
    static void setRequest(const char* name, DWORD value)
    {
        key(settings::RequestKey).writeDword(name, value);
    }
    static void setResponse(const char* name, DWORD value)
    {
        key(settings::ResponseKey).writeDword(name, value);
    }
    static void setLevel(DWORD level) { key(settings::MainKey).writeDword("PRIVACYLEVEL", level); }

    // Calls FilterRequest as the host does: the bytes in a buffer with a zero after them.
    // The buffer (as the filter left it) stays in m_input; the result is the filtered
    // bytes, or nothing when the filter returned null.
    std::optional<std::string> request(const std::string& bytes, const char* local = "10.0.0.1")
    {
        m_input = bytes + '\0';
        m_outLength = 12345;
        char* out =
            m_filterRequest(m_input.data(), static_cast<int>(bytes.size()), &m_outLength, local);
        m_input.pop_back();
        if (out == nullptr) {
            return std::nullopt;
        }
        EXPECT_EQ(out[m_outLength], '\0');
        std::string result(out, m_outLength);
        m_free(out);
        return result;
    }

    std::string response(std::string bytes)
    {
        bytes.push_back('\0');
        m_filterResponse(bytes.data(), static_cast<int>(bytes.size() - 1));
        EXPECT_EQ(bytes.back(), '\0');
        bytes.pop_back();
        return bytes;
    }

    void* m_module = nullptr;
    RegisterDLLFn m_registerDll = nullptr;
    UnRegisterDLLFn m_unregisterDll = nullptr;
    SetMainWindowFn m_setMainWindow = nullptr;
    FilterRequestFn m_filterRequest = nullptr;
    FilterResponseFn m_filterResponse = nullptr;
    FreeFilteredDataBufFn m_free = nullptr;
    std::string m_input;
    unsigned int m_outLength = 0;
    platform::ScopedScriptedPresenter m_boxes;
};

} // namespace filters::testing
