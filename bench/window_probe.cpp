// SPDX-License-Identifier: GPL-3.0-or-later
// Starts a program and tells how long it took until its window titled TITLE was mapped on the
// X display, by watching the root window's map events (no polling). Leaves the program running.
//
//   window_probe TITLE PROGRAM [ARGS...]   prints "<milliseconds> <pid>"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include <unistd.h>

namespace {

// Whether `window` carries the title `title`. Without a window manager, as under Xvfb, the
// program's own top-level window is the one mapped on the root.
bool titled(Display* display, Window window, const char* title) {
    char* name = nullptr;
    if (!XFetchName(display, window, &name) || !name) return false;
    const bool match = std::strcmp(name, title) == 0;
    XFree(name);
    return match;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: window_probe TITLE PROGRAM [ARGS...]\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "window_probe: no X display\n");
        return 1;
    }
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False);

    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execv(argv[2], argv + 2);
        std::perror("window_probe: exec");
        _exit(127);
    }
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type != MapNotify) continue;
        if (titled(display, event.xmap.window, argv[1])) break;
    }
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.1f %d\n", ms, static_cast<int>(pid));
    XCloseDisplay(display);
    return 0;
}
