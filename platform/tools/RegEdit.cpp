// RegEdit.exe: imports and exports registry-editor files.
//
//   RegEdit.exe /s FILE        imports FILE silently
//   RegEdit.exe FILE           the same
//   RegEdit.exe /e FILE KEY    exports KEY with its subkeys to FILE
//
// Callers pass paths with blanks unquoted ("/s C:\Program Files\x\a b.reg" arrives as
// several arguments), so the arguments after the switch are joined again: for /e the
// key starts at the first argument that names a root key. FILE is a DOS path; a path
// starting with "/" is taken as a host path.

#include <platform/Environment.h>
#include <platform/RegFile.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr const char* kUsage = "usage: RegEdit.exe [/s] FILE | /e FILE KEY";
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

int fail(const std::string& message)
{
    std::fprintf(stderr, "RegEdit: %s\n", message.c_str());
    return kExitFailure;
}

std::string join(const std::vector<std::string>& parts, std::size_t from, std::size_t to)
{
    std::string out;
    for (std::size_t i = from; i < to; ++i) {
        out += (i > from ? " " : "") + parts[i];
    }
    return out;
}

bool namesRootKey(const std::string& argument)
{
    HKEY root = nullptr;
    std::string path;
    return platform::regfile::splitKeyName(argument, root, path);
}

platform::Result<std::filesystem::path> hostPath(const std::string& file)
{
    if (!file.empty() && file.front() == '/') {
        return std::filesystem::path(file);
    }
    return platform::toHostPath(file);
}

bool isSwitch(const std::string& argument, char letter)
{
    return argument.size() == 2 && (argument[0] == '/' || argument[0] == '-') &&
           (argument[1] == letter || argument[1] == letter - 'a' + 'A');
}

int importFile(const std::string& file)
{
    platform::Result<std::filesystem::path> path = hostPath(file);
    if (!path) {
        return fail(file + ": " + path.error().message);
    }
    platform::Result<void> done = platform::regfile::importFile(*path);
    return done ? 0 : fail(file + ": " + done.error().message);
}

int exportFile(const std::vector<std::string>& args)
{
    std::size_t keyAt = 1;
    while (keyAt < args.size() && !namesRootKey(args[keyAt])) {
        ++keyAt;
    }
    if (keyAt <= 1 || keyAt >= args.size()) {
        std::fprintf(stderr, "%s\n", kUsage);
        return kExitUsage;
    }
    const std::string file = join(args, 1, keyAt);
    const std::string key = join(args, keyAt, args.size());
    platform::Result<std::filesystem::path> path = hostPath(file);
    if (!path) {
        return fail(file + ": " + path.error().message);
    }
    platform::Result<void> done = platform::regfile::exportFile(*path, key);
    return done ? 0 : fail(done.error().message);
}

} // namespace

int main(int argc, char** argv)
{
    SetProcessArguments(argc, argv);
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::fprintf(stderr, "%s\n", kUsage);
        return kExitUsage;
    }
    if (isSwitch(args[0], 'e')) {
        return exportFile(args);
    }
    const std::size_t first = isSwitch(args[0], 's') ? 1 : 0;
    if (first >= args.size()) {
        std::fprintf(stderr, "%s\n", kUsage);
        return kExitUsage;
    }
    return importFile(join(args, first, args.size()));
}
