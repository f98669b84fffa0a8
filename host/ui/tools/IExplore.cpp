// "C:\Program Files\Internet Explorer\iexplore.exe" on Linux: the suite starts it with a
// web address (the about page's links), and it hands that address to the desktop's
// browser through xdg-open (or the program named by UMBRAVIA_OPEN_COMMAND). Without an
// address it does nothing.
//
// A copy of it lives in the prefix's drive C:, so it links nothing of the suite: it must
// run from any folder.

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

extern char** environ;

int main(int argc, char** argv)
{
    if (argc < 2 || argv[1][0] == '\0') {
        return 0;
    }
    // The suite passes one command line; an address never holds blanks, but join the
    // words back so that nothing is lost if one does.
    std::string address = argv[1];
    for (int i = 2; i < argc; ++i) {
        address += ' ';
        address += argv[i];
    }
    const char* opener = std::getenv("UMBRAVIA_OPEN_COMMAND");
    if (opener == nullptr || *opener == '\0') {
        opener = "xdg-open";
    }
    char* childArgs[] = {const_cast<char*>(opener), address.data(), nullptr};
    pid_t child = 0;
    const int error = posix_spawnp(&child, opener, nullptr, nullptr, childArgs, environ);
    if (error != 0) {
        std::fprintf(stderr, "iexplore.exe: cannot start %s: %s\n", opener, std::strerror(error));
        return 1;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
