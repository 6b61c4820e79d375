// A window manager for tests that is slow the way a busy one is: it applies the requests that
// windows send it (to be configured or mapped) in the order they came, but one at a time, with a
// pause between each, and gives a window the system focus as it maps it. Windows are not
// reparented, so each configured window is told its place on the screen with a synthetic
// ConfigureNotify, as the ICCCM asks.
//
//     LateWindowManager [pause-ms]     (default 150)
//
// It gives no window the focus back when the focused one goes away, and a request for a window
// that is gone still takes its turn. It prints "ready" once it manages the screen, and runs until
// the X server goes away.
#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <poll.h>

namespace
{
using Clock = std::chrono::steady_clock;

struct Request
{
    enum class Kind
    {
        configure,
        map
    };

    Kind kind;
    Window window;
    unsigned long mask = 0;
    XWindowChanges changes {};
};

bool anotherManager = false;

// A window may be gone by the time its request is applied; that is no reason to stop.
int onError (Display*, XErrorEvent* e)
{
    if (e->error_code == BadAccess && e->request_code == X_ChangeWindowAttributes)
        anotherManager = true;

    return 0;
}

// The X server going away ends the run; there is nothing to tidy up.
int onServerGone (Display*) { std::_Exit (0); }

void tellWhereItIs (Display* display, Window window)
{
    XWindowAttributes a;

    if (XGetWindowAttributes (display, window, &a) == 0)
        return;

    XEvent e {};
    e.xconfigure.type = ConfigureNotify;
    e.xconfigure.display = display;
    e.xconfigure.event = window;
    e.xconfigure.window = window;
    e.xconfigure.x = a.x;
    e.xconfigure.y = a.y;
    e.xconfigure.width = a.width;
    e.xconfigure.height = a.height;
    e.xconfigure.border_width = a.border_width;
    e.xconfigure.above = None;
    e.xconfigure.override_redirect = False;
    XSendEvent (display, window, False, StructureNotifyMask, &e);
}

void focus (Display* display, Window window)
{
    XWindowAttributes a;

    if (XGetWindowAttributes (display, window, &a) != 0 && a.map_state == IsViewable)
        XSetInputFocus (display, window, RevertToPointerRoot, CurrentTime);
}

void apply (Display* display, const Request& r)
{
    switch (r.kind)
    {
        case Request::Kind::configure:
        {
            auto changes = r.changes;
            XConfigureWindow (display, r.window, (unsigned int) r.mask, &changes);
            tellWhereItIs (display, r.window);
            break;
        }
        case Request::Kind::map:
            XMapRaised (display, r.window);
            focus (display, r.window);
            break;
    }
}

void take (const XEvent& e, std::deque<Request>& pending)
{
    if (e.type == ConfigureRequest)
    {
        const auto& c = e.xconfigurerequest;
        Request r { Request::Kind::configure, c.window };
        r.mask = c.value_mask;
        r.changes.x = c.x;
        r.changes.y = c.y;
        r.changes.width = c.width;
        r.changes.height = c.height;
        r.changes.border_width = c.border_width;
        r.changes.sibling = c.above;
        r.changes.stack_mode = c.detail;
        pending.push_back (r);
    }
    else if (e.type == MapRequest)
    {
        pending.push_back ({ Request::Kind::map, e.xmaprequest.window });
    }
}
} // namespace

int main (int argc, char** argv)
{
    const auto pause = std::chrono::milliseconds (argc > 1 ? std::atoi (argv[1]) : 150);
    Display* display = XOpenDisplay (nullptr);

    if (display == nullptr)
    {
        std::fprintf (stderr, "no X display\n");
        return 1;
    }

    XSetErrorHandler (onError);
    XSetIOErrorHandler (onServerGone);
    const Window root = DefaultRootWindow (display);
    XSelectInput (display, root, SubstructureRedirectMask | SubstructureNotifyMask);
    XSync (display, False);

    if (anotherManager)
    {
        std::fprintf (stderr, "another window manager is running\n");
        return 1;
    }

    XSync (display, False);
    std::printf ("ready\n");
    std::fflush (stdout);

    std::deque<Request> pending;
    auto nextAt = Clock::now();

    for (;;)
    {
        while (XPending (display) > 0)
        {
            XEvent e;
            XNextEvent (display, &e);
            take (e, pending);
        }

        const auto now = Clock::now();

        if (! pending.empty() && now >= nextAt)
        {
            apply (display, pending.front());
            pending.pop_front();
            XFlush (display);
            nextAt = now + pause;
            continue;
        }

        const int waitMs = pending.empty()
                               ? -1
                               : (int) std::chrono::duration_cast<std::chrono::milliseconds> (nextAt - now).count() + 1;
        pollfd connection { ConnectionNumber (display), POLLIN, 0 };

        poll (&connection, 1, waitMs);
    }
}
