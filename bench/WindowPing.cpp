// SPDX-License-Identifier: GPL-3.0-or-later
// Asks a window whether it answers, as a window manager does: sends it
// _NET_WM_PING every 20 ms and times each answer, until the window goes away
// or the time is up. A window whose thread is blocked answers late or never.
//
// Usage: window_ping TITLE [SECONDS]   (on the display in $DISPLAY)
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPingEvery = std::chrono::milliseconds(20);
constexpr int kLateMs = 100;

Window FindWindow(Display* display, Window window, const char* title)
{
    char* name = nullptr;
    if (XFetchName(display, window, &name) && name) {
        const bool match = std::strcmp(name, title) == 0;
        XFree(name);
        if (match)
            return window;
    }
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count))
        return 0;
    Window found = 0;
    for (unsigned k = 0; k < count && !found; ++k)
        found = FindWindow(display, children[k], title);
    if (children)
        XFree(children);
    return found;
}

bool gone = false;
int NoteError(Display*, XErrorEvent*)
{
    gone = true;  // the window was destroyed: the program has ended
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: window_ping TITLE [SECONDS]\n");
        return 2;
    }
    const char* title = argv[1];
    const double seconds = argc > 2 ? std::atof(argv[2]) : 1e9;
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "window_ping: no display\n");
        return 2;
    }
    XSetErrorHandler(NoteError);
    const Window root = DefaultRootWindow(display);
    Window window = 0;
    for (int tries = 0; tries < 600 && !window; ++tries) {
        window = FindWindow(display, root, title);
        if (!window)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (!window) {
        std::fprintf(stderr, "window_ping: no window \"%s\"\n", title);
        return 2;
    }
    // The answer goes to the root window, to whoever watches its structure.
    XSelectInput(display, root, StructureNotifyMask | SubstructureNotifyMask);
    const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    const Atom ping = XInternAtom(display, "_NET_WM_PING", False);

    std::vector<double> answers;
    int unanswered = 0;
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    for (long stamp = 1; Clock::now() < end && !gone; ++stamp) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = protocols;
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(ping);
        event.xclient.data.l[1] = stamp;
        event.xclient.data.l[2] = static_cast<long>(window);
        const auto sent = Clock::now();
        XSendEvent(display, window, False, NoEventMask, &event);
        XFlush(display);
        bool answered = false;
        while (!answered && !gone) {
            const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - sent).count();
            if (waited > 5000)
                break;
            if (!XPending(display)) {
                pollfd fd{ConnectionNumber(display), POLLIN, 0};
                poll(&fd, 1, 5);
                XSync(display, False);  // also notices a window that is gone
                continue;
            }
            XEvent reply;
            XNextEvent(display, &reply);
            if (reply.type == ClientMessage && reply.xclient.message_type == protocols
                && static_cast<Atom>(reply.xclient.data.l[0]) == ping && reply.xclient.data.l[1] == stamp) {
                answers.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
                answered = true;
            }
        }
        if (!answered && !gone) {
            XWindowAttributes attributes;
            XGetWindowAttributes(display, window, &attributes);  // a window that went meanwhile was not asked
            XSync(display, False);
            if (!gone)
                ++unanswered;
        }
        std::this_thread::sleep_for(kPingEvery);
    }
    std::sort(answers.begin(), answers.end());
    const auto late = std::count_if(answers.begin(), answers.end(), [](double ms) { return ms > kLateMs; });
    std::printf("window_ping \"%s\": %zu pings answered, %d unanswered (5 s); longest %.1f ms, 99th pct. %.1f ms, "
                "%ld over %d ms\n",
                title, answers.size(), unanswered, answers.empty() ? 0.0 : answers.back(),
                answers.empty() ? 0.0 : answers[static_cast<size_t>(0.99 * (answers.size() - 1))],
                static_cast<long>(late), kLateMs);
    XCloseDisplay(display);
    return unanswered == 0 && late == 0 && !answers.empty() ? 0 : 1;
}
