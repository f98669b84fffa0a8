// regsvr32.exe: registers or unregisters a COM module by calling its own entry point.
//
//   regsvr32.exe [/s] [/u] MODULE
//
// MODULE is loaded with LoadLibrary (a bare name goes through the program folder, the
// current folder and C:\WINDOWS\system32; a path is a DOS path, one starting with "/" a
// host path); then DllRegisterServer (DllUnregisterServer with /u) is called. Without
// /s the outcome is shown in a message box. Exit codes follow the Windows tool: 0 done,
// 1 bad arguments, 3 the module did not load, 4 it lacks the entry point, 5 the entry
// point reported a failure.
//
// Callers pass paths with blanks unquoted ("/s C:\Program Files\x\a.dll" arrives as
// several arguments), so the arguments after the switches are joined again.

#include <platform/Application.h>
#include <platform/Environment.h>
#include <platform/MessageBox.h>
#include <platform/Modules.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// The only HRESULT that counts as done; anything else is the module's refusal.
constexpr HRESULT kSOk = 0;
using RegistrationFn = HRESULT (*)();

constexpr int kExitDone = 0;
constexpr int kExitUsage = 1;
constexpr int kExitLoadFailed = 3;
constexpr int kExitNoEntryPoint = 4;
constexpr int kExitCallFailed = 5;

constexpr const char* kCaption = "RegSvr32";
constexpr const char* kUsage = "Usage: regsvr32.exe [/s] [/u] <module>\n"
                               "/u - call DllUnregisterServer instead of DllRegisterServer\n"
                               "/s - silent: show no message box";

struct Options {
    bool silent = false;
    bool unregister = false;
    std::string module;
};

bool isSwitch(const std::string& argument, char letter)
{
    return argument.size() == 2 && (argument[0] == '/' || argument[0] == '-') &&
           (argument[1] == letter || argument[1] == letter - 'a' + 'A');
}

std::string unquoted(std::string text)
{
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
        return text.substr(1, text.size() - 2);
    }
    return text;
}

// Switches are two characters long, so a host path such as "/opt/x/a.dll" is a module.
bool looksLikeSwitch(const std::string& argument)
{
    return argument.size() == 2 && (argument[0] == '/' || argument[0] == '-');
}

// False on an unknown switch or a missing module name.
bool parse(const std::vector<std::string>& args, Options& options)
{
    std::size_t i = 0;
    for (; i < args.size() && looksLikeSwitch(args[i]); ++i) {
        if (isSwitch(args[i], 's')) {
            options.silent = true;
        } else if (isSwitch(args[i], 'u')) {
            options.unregister = true;
        } else {
            return false;
        }
    }
    for (; i < args.size(); ++i) {
        options.module += (options.module.empty() ? "" : " ") + args[i];
    }
    options.module = unquoted(options.module);
    return !options.module.empty();
}

// LoadLibrary takes DOS paths; a host path is turned into one first.
std::string dosName(const std::string& module)
{
    if (!module.empty() && module.front() == '/') {
        return platform::toDosPath(module).str();
    }
    return module;
}

std::string hex(HRESULT result)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(result));
    return text;
}

int report(const Options& options, int code, const std::string& text)
{
    if (!options.silent) {
        const UINT icon = code == kExitDone ? MB_ICONINFORMATION : MB_ICONERROR;
        MessageBox(0, text.c_str(), kCaption, MB_OK | icon);
    }
    return code;
}

int run(const Options& options)
{
    const char* entry = options.unregister ? "DllUnregisterServer" : "DllRegisterServer";
    HMODULE module = LoadLibrary(dosName(options.module).c_str());
    if (module == nullptr) {
        return report(options, kExitLoadFailed,
                      "The module \"" + options.module + "\" could not be loaded.\n\n" +
                          platform::lastModuleError());
    }
    auto function = platform::proc<RegistrationFn>(module, entry);
    if (function == nullptr) {
        FreeLibrary(module);
        return report(options, kExitNoEntryPoint,
                      "The module \"" + options.module +
                          "\" was loaded, but it has no entry point " + entry + ".");
    }
    const HRESULT result = function();
    FreeLibrary(module);
    if (result != kSOk) {
        return report(options, kExitCallFailed,
                      std::string(entry) + " in " + options.module + " failed with error code " +
                          hex(result) + ".");
    }
    return report(options, kExitDone, std::string(entry) + " in " + options.module + " succeeded.");
}

} // namespace

int main(int argc, char** argv)
{
    // The module's own code may show boxes or create windows: give it the application.
    platform::Application app(argc, argv);
    Options options;
    if (!parse(std::vector<std::string>(argv + 1, argv + argc), options)) {
        // Silent callers still learn why on standard error.
        if (options.silent) {
            std::fprintf(stderr, "%s\n", kUsage);
        } else {
            MessageBox(0, kUsage, kCaption, MB_OK | MB_ICONERROR);
        }
        return kExitUsage;
    }
    return run(options);
}
