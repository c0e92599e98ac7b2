#ifndef XWINDOWS_H
#define XWINDOWS_H

// What the tests and the benchmark do to the viewer's window from outside,
// as a desktop would. Include it after Qt's headers: Xlib defines macros
// (Status, Bool) that clash with Qt's names.
#include <QByteArray>

#include <X11/Xlib.h>

// A window's title: its EWMH name (UTF-8) where it has one, which is all
// some windows set (eglfs's on X11), otherwise its ICCCM WM_NAME.
inline QByteArray windowTitle(Display *display, Window window)
{
    const Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, remaining = 0;
    unsigned char *data = nullptr;
    QByteArray title;
    if (XGetWindowProperty(display, window, netName, 0, 1024, False, utf8, &type, &format, &items, &remaining, &data)
            == Success
        && type == utf8 && format == 8)
        title = QByteArray(reinterpret_cast<const char *>(data), int(items));
    XFree(data);
    char *name = nullptr;
    if (title.isNull() && XFetchName(display, window, &name))
        title = name;
    XFree(name);
    return title;
}

// The mapped window with this title anywhere below `parent`, or 0. A
// reparenting window manager puts each client window inside a frame of its
// own, so the whole tree is searched, not only the root's children.
inline Window findWindowBelow(Display *display, Window parent, const char *title)
{
    Window root, ancestor, *children = nullptr, found = 0;
    unsigned int count = 0;
    if (!XQueryTree(display, parent, &root, &ancestor, &children, &count))
        return 0;
    for (unsigned int i = 0; i < count && !found; ++i) {
        XWindowAttributes attributes;
        if (windowTitle(display, children[i]) == title && XGetWindowAttributes(display, children[i], &attributes)
            && attributes.map_state == IsViewable)
            found = children[i];
        if (!found)
            found = findWindowBelow(display, children[i], title);
    }
    XFree(children);
    return found;
}

// The mapped client window with this title, or 0.
inline Window findTopLevelWindow(Display *display, const char *title)
{
    return findWindowBelow(display, DefaultRootWindow(display), title);
}

// Whether a window manager that follows the EWMH conventions runs.
inline bool windowManagerRuns(Display *display)
{
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, remaining = 0;
    unsigned char *data = nullptr;
    const bool found = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, AnyPropertyType,
                                          &type, &format, &items, &remaining, &data)
                           == Success
                       && items == 1;
    XFree(data);
    return found;
}

// What a title bar's close button does: under a window manager, ask it to
// close the window (_NET_CLOSE_WINDOW), and it sends the client its delete
// request; without one, send WM_DELETE_WINDOW to the client directly.
inline void requestClose(Display *display, Window window)
{
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.format = 32;
    if (windowManagerRuns(display)) {
        event.xclient.message_type = XInternAtom(display, "_NET_CLOSE_WINDOW", False);
        event.xclient.data.l[0] = CurrentTime;
        event.xclient.data.l[1] = 2; // the request comes from a pager or task bar
        XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask,
                   &event);
    } else {
        event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
        XSendEvent(display, window, False, NoEventMask, &event);
    }
    XFlush(display);
}

#endif // XWINDOWS_H
