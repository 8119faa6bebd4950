#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace updater {

// A top-level window of the display (an X11 window id); 0 means none.
using TWindowHandle = std::uint64_t;

// What StartProgram learns about the program it started. The handles belong
// to the caller, who closes them (close()) when no longer needed; -1 when
// there is none.
struct TProcessInformation {
    TWindowHandle window = 0;
    std::uint32_t threadId = 0;
    std::uint32_t processId = 0;
    int threadHandle = -1;
    int processHandle = -1;
};

// Starts the program in its own process group with the working directory
// (the current one when empty) and waits up to 5 seconds for its main window.
// The command line is the file followed by the blank-separated parameters
// (double quotes group a parameter with blanks). When the program cannot be
// started, the file is handed to the desktop's "open" action instead and the
// result is false.
bool StartProgram(const std::string &fileName, const std::string &parameters, const std::string &directory,
                  TProcessInformation &info);

// Hands the file to the desktop's "open" action (xdg-open, started detached
// in the directory). False when the action cannot be started.
bool ShellOpen(const std::string &fileName, const std::string &parameters, const std::string &directory);

// A top-level window of the display.
struct TTopLevelWindow {
    TWindowHandle window = 0;
    std::uint32_t processId = 0; // _NET_WM_PID; 0 when the window does not say
    bool normal = false;         // window type absent or exactly NORMAL
    std::string title;           // _NET_WM_NAME, else WM_NAME
};

// Every top-level window of the display in the system's order: the window
// manager's client list, or the root's children without a window manager.
// Empty when there is no X11 display.
std::vector<TTopLevelWindow> TopLevelWindows();

// The first normal top-level window of the display that belongs to the
// process (or the thread, which on Linux is the process's main thread id):
// a client of the window manager whose _NET_WM_PID is the id and whose window
// type is normal (tool, utility, dialog and other kinds do not count).
// 0 when there is no X11 display or no such window.
TWindowHandle FindProcessWindow(std::uint32_t processId, std::uint32_t threadId);

} // namespace updater
