#ifndef XWINDOWS_H
#define XWINDOWS_H

// What the tests and the benchmark do to the viewer's window from outside,
// as a window manager would. Include it after Qt's headers: Xlib defines
// macros (Status, Bool) that clash with Qt's names.
#include <QByteArray>

#include <X11/Xlib.h>

// The mapped top-level window with this title, or 0.
inline Window findTopLevelWindow(Display *display, const char *title)
{
    Window root, parent, *children = nullptr, found = 0;
    unsigned int count = 0;
    XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
    for (unsigned int i = 0; i < count && !found; ++i) {
        XWindowAttributes attributes;
        char *name = nullptr;
        if (XFetchName(display, children[i], &name) && qstrcmp(name, title) == 0
            && XGetWindowAttributes(display, children[i], &attributes) && attributes.map_state == IsViewable)
            found = children[i];
        XFree(name);
    }
    XFree(children);
    return found;
}

// What a window manager's close button sends.
inline void requestClose(Display *display, Window window)
{
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
}

#endif // XWINDOWS_H
