// Umbravia Uninstall.exe: run by the product's uninstaller before it removes the
// product. No window of its own and no arguments; message boxes only.

#include "Uninstaller.h"

#include <platform/Application.h>

int main(int argc, char** argv)
{
    platform::Application app(argc, argv);
    return uninstall::Uninstaller::run() ? 0 : 1;
}
