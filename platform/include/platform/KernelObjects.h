#pragma once
// Events and file mappings, named and unnamed, with Win32's names. A named object is
// shared by every process of the prefix (a file in its run folder) and, as on Windows,
// lives while some process holds a handle to it: when the last holder closes it, or
// dies, the name is free again. Names are case-sensitive; "Global\" and "Local\" in
// front of a name are accepted and mean nothing within one prefix.
//
// Closing: CloseHandle (WinTypes.h). A view (MapViewOfFile) keeps its section alive
// until UnmapViewOfFile, even after the handle is closed.

#include <platform/WinTypes.h>

#include <cstddef>

constexpr DWORD SYNCHRONIZE = 0x00100000;
constexpr DWORD EVENT_MODIFY_STATE = 0x0002;
constexpr DWORD EVENT_ALL_ACCESS = 0x001F0003;

constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_ABANDONED = 0x80;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;

// name null or empty: an unnamed event of this process. An existing named event is
// opened (its reset mode and state are kept) and GetLastError says ERROR_ALREADY_EXISTS;
// a new one leaves ERROR_SUCCESS. Null on failure.
HANDLE CreateEvent(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState,
                   LPCSTR name) noexcept;
// Null with ERROR_FILE_NOT_FOUND when no process holds an event of that name.
HANDLE OpenEvent(DWORD access, BOOL inheritHandle, LPCSTR name) noexcept;
BOOL SetEvent(HANDLE event) noexcept;
BOOL ResetEvent(HANDLE event) noexcept;

// Events (an auto-reset event is reset by the wait it ends) and process handles
// (CreateProcess, signalled when the process has ended). WAIT_OBJECT_0, WAIT_TIMEOUT,
// or WAIT_FAILED (GetLastError ERROR_INVALID_HANDLE) for other handles.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) noexcept;

constexpr DWORD PAGE_READONLY = 0x02;
constexpr DWORD PAGE_READWRITE = 0x04;
constexpr DWORD FILE_MAP_COPY = 0x0001;
constexpr DWORD FILE_MAP_WRITE = 0x0002;
constexpr DWORD FILE_MAP_READ = 0x0004;
constexpr DWORD FILE_MAP_ALL_ACCESS = 0x000F001F;

// Sections backed by the paging file only: file must be INVALID_HANDLE_VALUE. A new
// section is filled with zeros; an existing named one keeps its size and contents
// (GetLastError ERROR_ALREADY_EXISTS). Null on failure.
HANDLE CreateFileMapping(HANDLE file, LPSECURITY_ATTRIBUTES attributes, DWORD protect,
                         DWORD maximumSizeHigh, DWORD maximumSizeLow, LPCSTR name) noexcept;
HANDLE OpenFileMapping(DWORD access, BOOL inheritHandle, LPCSTR name) noexcept;
// bytes 0 maps from the offset to the end of the section. Null on failure.
LPVOID MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow,
                     std::size_t bytes) noexcept;
BOOL UnmapViewOfFile(LPCVOID view) noexcept;
