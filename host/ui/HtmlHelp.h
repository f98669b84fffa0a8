#pragma once
// HTML Help for the host: HtmlHelp shows a help document in the help viewer, and
// openHelp() is the "Help" command (the document "Umbravia Help.chm" beside the
// program, the viewer then maximised).

#include <platform/Environment.h>
#include <platform/Windows.h>

#include <string_view>

constexpr UINT HH_DISPLAY_TOPIC = 0x0000;
constexpr UINT HH_DISPLAY_TOC = 0x0001;

// Shows the document at the DOS path file (command HH_DISPLAY_TOC or HH_DISPLAY_TOPIC:
// its contents page). Returns the viewer's window handle, 0 when there is no document
// (nothing is shown and nothing reported). User-interface thread only.
HWND HtmlHelp(HWND owner, LPCSTR file, UINT command, DWORD_PTR data) noexcept;

namespace host::ui {

inline constexpr const char* HelpFileName = "Umbravia Help.chm";

// The help document of a command line: the text between its first character (the
// opening quote) and "Umbravia.exe" is the program folder; empty when the program has
// another name.
platform::DosPath helpFilePath(std::string_view commandLine);
// Opens the help document of this process's command line and maximises the viewer.
// Does nothing when there is no document.
void openHelp(HWND owner);

} // namespace host::ui
