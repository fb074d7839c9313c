// A private virtual X server for tests that run a program in a real window:
// the server on a free display, programs started on it, command-line X
// tools run against it, and the window manager's close request.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace viewertest {

// Full path of a program found on PATH, or empty.
std::string FindOnPath(const std::string& program);

// A child process, killed and reaped when the object dies unless it has
// already ended.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts `argv` in `workingDir` with `environment` ("NAME=value"
    // entries); `keepFd`, when not -1, stays open in the child. False when
    // it cannot be started.
    bool Start(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
               const std::string& workingDir, int keepFd = -1);
    bool Running();
    // Waits up to `seconds` for the end; true with its exit status (-1 when
    // a signal ended it), false on timeout.
    bool Wait(double seconds, int* exitStatus);
    void Stop(int signal);
    pid_t Pid() const { return pid_; }

private:
    pid_t pid_ = -1;
};

// Xvfb on the first free display number, which it reports itself.
class VirtualDisplay {
public:
    // Empty name when the server did not come up within `seconds`.
    bool Start(double seconds);
    ~VirtualDisplay();
    const std::string& Name() const { return name_; } // ":N"

    // Runs a shell command with DISPLAY set, under a time limit; its
    // standard output without the last line break. `ok` reports exit 0.
    std::string Run(const std::string& command, bool* ok = nullptr) const;

    // The environment for a program on this display: the caller's, with
    // DISPLAY replaced and the variables in `drop` removed.
    std::vector<std::string> Environment(const std::vector<std::string>& drop) const;

    // Asks the window to close the way a window manager does: a
    // WM_PROTOCOLS client message carrying WM_DELETE_WINDOW. Uses libX11
    // loaded at run time; false when it is not available.
    bool SendCloseRequest(unsigned long window) const;

private:
    ChildProcess server_;
    std::string name_;
};

} // namespace viewertest
