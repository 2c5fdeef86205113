#include "X11Window.h"

#include <cstring>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {
Window findWindow(Display* _display, Window _window, const char* _title)
{
    // Qt keeps a hidden 1x1 helper window with the same title; only a mapped
    // window of real size is the main window.
    XWindowAttributes attributes{};
    const bool shown = XGetWindowAttributes(_display, _window, &attributes) && attributes.map_state == IsViewable &&
                       attributes.width > 1 && attributes.height > 1;
    char* name = nullptr;
    if (shown && XFetchName(_display, _window, &name) && name) {
        const bool match = std::strstr(name, _title) != nullptr;
        XFree(name);
        if (match)
            return _window;
    }
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    Window found = 0;
    if (XQueryTree(_display, _window, &root, &parent, &children, &count)) {
        for (unsigned int i = 0; i < count && !found; ++i)
            found = findWindow(_display, children[i], _title);
        if (children)
            XFree(children);
    }
    return found;
}
} // namespace

bool X11Window::exists(const char* _title)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    const bool found = findWindow(display, DefaultRootWindow(display), _title) != 0;
    XCloseDisplay(display);
    return found;
}

bool X11Window::requestClose(const char* _title)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    const Window window = findWindow(display, DefaultRootWindow(display), _title);
    if (window) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, window, False, NoEventMask, &event);
        XFlush(display);
    }
    XCloseDisplay(display);
    return window != 0;
}

std::vector<int> X11Window::iconEdges(const char* _title)
{
    std::vector<int> edges;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return edges;
    const Window window = findWindow(display, DefaultRootWindow(display), _title);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    if (window &&
        XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_ICON", False), 0, 1L << 24, False,
                           XA_CARDINAL, &type, &format, &count, &remaining, &data) == Success &&
        data && format == 32) {
        // Width, height, then width × height pixels, for every icon; Xlib
        // hands 32-bit items over as longs.
        const auto* items = reinterpret_cast<const unsigned long*>(data);
        for (unsigned long i = 0; i + 2 <= count;) {
            const unsigned long width = items[i];
            const unsigned long height = items[i + 1];
            if (width == 0 || height == 0 || i + 2 + width * height > count)
                break;
            edges.push_back(int(width));
            i += 2 + width * height;
        }
    }
    if (data)
        XFree(data);
    XCloseDisplay(display);
    return edges;
}
