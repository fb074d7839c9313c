#include "x_session.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

extern char** environ;

namespace viewertest {

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The parts of Xlib's event record that a client message uses; the record
// is padded to 24 longs like Xlib's own union.
struct ClientMessage {
    int type;
    unsigned long serial;
    int sendEvent;
    void* display;
    unsigned long window;
    unsigned long messageType;
    int format;
    long data[5];
};
union XEventRecord {
    ClientMessage message;
    long pad[24];
};
const int kClientMessage = 33;

} // namespace

std::string FindOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string rest = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = rest.find(':', start);
        if (end == std::string::npos) end = rest.size();
        const std::string dir = rest.substr(start, end - start);
        const std::string candidate = (dir.empty() ? "." : dir) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return {};
}

ChildProcess::~ChildProcess() {
    if (pid_ <= 0) return;
    int status = 0;
    Stop(SIGTERM);
    if (!Wait(3.0, &status)) {
        Stop(SIGKILL);
        Wait(3.0, &status);
    }
}

bool ChildProcess::Start(const std::vector<std::string>& argv,
                         const std::vector<std::string>& environment, const std::string& workingDir,
                         int keepFd) {
    std::vector<char*> args, env;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (const std::string& e : environment)
        env.push_back(const_cast<char*>(e.c_str()));
    env.push_back(nullptr);

    const pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        // Only async-signal-safe calls from here on.
        if (!workingDir.empty() && chdir(workingDir.c_str()) != 0) _exit(126);
        const int null = open("/dev/null", O_RDWR);
        if (null >= 0) {
            dup2(null, 0);
            if (!std::getenv("TX_TEST_CHILD_OUTPUT")) {
                dup2(null, 1);
                dup2(null, 2);
            }
        }
        for (int fd = 3; fd < 1024; ++fd)
            if (fd != keepFd) close(fd);
        execve(args[0], args.data(), env.data());
        _exit(127);
    }
    pid_ = pid;
    return true;
}

bool ChildProcess::Running() {
    if (pid_ <= 0) return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == 0) return true;
    pid_ = -1;
    return false;
}

bool ChildProcess::Wait(double seconds, int* exitStatus) {
    if (pid_ <= 0) return false;
    const Clock::time_point start = Clock::now();
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            pid_ = -1;
            *exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            return true;
        }
        if (done < 0 || SecondsSince(start) > seconds) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void ChildProcess::Stop(int signal) {
    if (pid_ > 0) kill(pid_, signal);
}

bool VirtualDisplay::Start(double seconds) {
    const std::string xvfb = FindOnPath("Xvfb");
    if (xvfb.empty()) return false;
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return false;
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        env.push_back(*e);
    const bool started = server_.Start({xvfb, "-displayfd", std::to_string(pipeFds[1]), "-screen",
                                        "0", "1024x768x24", "-nolisten", "tcp"},
                                       env, "", pipeFds[1]);
    close(pipeFds[1]);
    if (!started) {
        close(pipeFds[0]);
        return false;
    }
    // The server writes its display number once it accepts clients.
    std::string number;
    const Clock::time_point start = Clock::now();
    while (SecondsSince(start) < seconds) {
        pollfd p{pipeFds[0], POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        char buffer[32];
        const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
        if (n <= 0) break;
        number.append(buffer, static_cast<size_t>(n));
        if (number.find('\n') != std::string::npos) break;
    }
    close(pipeFds[0]);
    while (!number.empty() && (number.back() == '\n' || number.back() == ' '))
        number.pop_back();
    if (number.empty()) return false;
    name_ = ":" + number;
    return true;
}

VirtualDisplay::~VirtualDisplay() = default;

std::string VirtualDisplay::Run(const std::string& command, bool* ok) const {
    const std::string line = "DISPLAY=" + name_ + " timeout 10 " + command + " 2>/dev/null";
    std::string output;
    FILE* pipe = popen(line.c_str(), "r");
    if (!pipe) {
        if (ok) *ok = false;
        return output;
    }
    char buffer[256];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, n);
    const int status = pclose(pipe);
    if (ok) *ok = status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    while (!output.empty() && output.back() == '\n')
        output.pop_back();
    return output;
}

std::vector<std::string> VirtualDisplay::Environment(const std::vector<std::string>& drop) const {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        bool dropped = name == "DISPLAY" || name == "WAYLAND_DISPLAY";
        for (const std::string& d : drop)
            dropped = dropped || name == d;
        if (!dropped) env.push_back(entry);
    }
    env.push_back("DISPLAY=" + name_);
    return env;
}

bool VirtualDisplay::SendCloseRequest(unsigned long window) const {
    void* x11 = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
    if (!x11) return false;
    using OpenDisplay = void* (*)(const char*);
    using InternAtom = unsigned long (*)(void*, const char*, int);
    using SendEvent = int (*)(void*, unsigned long, int, long, XEventRecord*);
    using Display = int (*)(void*);
    const auto open = reinterpret_cast<OpenDisplay>(dlsym(x11, "XOpenDisplay"));
    const auto intern = reinterpret_cast<InternAtom>(dlsym(x11, "XInternAtom"));
    const auto send = reinterpret_cast<SendEvent>(dlsym(x11, "XSendEvent"));
    const auto flush = reinterpret_cast<Display>(dlsym(x11, "XFlush"));
    const auto closeDisplay = reinterpret_cast<Display>(dlsym(x11, "XCloseDisplay"));
    bool sent = false;
    if (open && intern && send && flush && closeDisplay) {
        if (void* display = open(name_.c_str())) {
            XEventRecord event;
            std::memset(&event, 0, sizeof event);
            event.message.type = kClientMessage;
            event.message.window = window;
            event.message.messageType = intern(display, "WM_PROTOCOLS", 0);
            event.message.format = 32;
            event.message.data[0] = static_cast<long>(intern(display, "WM_DELETE_WINDOW", 0));
            event.message.data[1] = 0; // CurrentTime
            sent = send(display, window, 0, 0, &event) != 0;
            flush(display);
            closeDisplay(display);
        }
    }
    dlclose(x11);
    return sent;
}

} // namespace viewertest
