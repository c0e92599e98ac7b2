#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

const QByteArray Title = "OpenGL ES 2.0, Qt6, C++";

// Looks at the viewer's window from outside, as a window manager would.
class XClient
{
public:
    XClient() : display(XOpenDisplay(nullptr)) { }
    ~XClient()
    {
        if (display)
            XCloseDisplay(display);
    }
    XClient(const XClient &) = delete;
    XClient &operator=(const XClient &) = delete;

    bool isOpen() const { return display != nullptr; }

    // The top-level window that the given process has mapped, or 0.
    Window windowOf(qint64 pid) const
    {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
            return 0;
        Window found = 0;
        for (unsigned int i = 0; i < count && !found; ++i) {
            XWindowAttributes attributes;
            const QByteArray owner = property(children[i], "_NET_WM_PID");
            if (owner.size() >= int(sizeof(long)) && *reinterpret_cast<const long *>(owner.constData()) == pid
                && XGetWindowAttributes(display, children[i], &attributes) && attributes.map_state == IsViewable)
                found = children[i];
        }
        XFree(children);
        return found;
    }

    QByteArray title(Window window) const { return property(window, "_NET_WM_NAME"); }

    QSize size(Window window) const
    {
        XWindowAttributes attributes;
        XGetWindowAttributes(display, window, &attributes);
        return QSize(attributes.width, attributes.height);
    }

    QColor pixel(Window window, int x, int y) const
    {
        XImage *image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap);
        if (!image)
            return QColor();
        const unsigned long value = XGetPixel(image, 0, 0);
        const QColor colour(channel(value, image->red_mask), channel(value, image->green_mask),
                            channel(value, image->blue_mask));
        XDestroyImage(image);
        return colour;
    }

    // What a window manager's close button sends.
    void requestClose(Window window) const
    {
        XEvent event = {};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, window, False, NoEventMask, &event);
        XFlush(display);
    }

private:
    QByteArray property(Window window, const char *name) const
    {
        Atom type = 0;
        int format = 0;
        unsigned long items = 0, remaining = 0;
        unsigned char *data = nullptr;
        const Atom atom = XInternAtom(display, name, False);
        if (XGetWindowProperty(display, window, atom, 0, 1024, False, AnyPropertyType, &type, &format, &items,
                               &remaining, &data) != Success || !data)
            return {};
        // Format 32 items are longs in Xlib's client-side representation.
        const int itemSize = format == 32 ? int(sizeof(long)) : format / 8;
        const QByteArray value(reinterpret_cast<const char *>(data), int(items) * itemSize);
        XFree(data);
        return value;
    }

    static int channel(unsigned long value, unsigned long mask)
    {
        int shift = 0;
        while (mask && !(mask & 1)) {
            mask >>= 1;
            ++shift;
        }
        return mask ? int(((value >> shift) & mask) * 255 / mask) : 0;
    }

    Display *display;
};

bool near(const QColor &actual, const QColor &expected)
{
    return std::abs(actual.red() - expected.red()) <= 2 && std::abs(actual.green() - expected.green()) <= 2
           && std::abs(actual.blue() - expected.blue()) <= 2;
}

} // namespace

class TestOrbitViewer : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void runAndClose_data();
    void runAndClose();
    void noOpenGL_data();
    void noOpenGL();

private:
    QTemporaryDir runtimeDir;
    QProcessEnvironment environment;
};

void TestOrbitViewer::init()
{
    // Without a runtime directory Qt warns on start; a desktop session has one.
    environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir.path());
}

void TestOrbitViewer::runAndClose_data()
{
    QTest::addColumn<QStringList>("arguments");

    QTest::newRow("no arguments") << QStringList();
    QTest::newRow("arguments that are not Qt's") << QStringList{"--frobnicate", "scene.obj", "-v"};
}

void TestOrbitViewer::runAndClose()
{
    QFETCH(QStringList, arguments);

    XClient x;
    QVERIFY2(x.isOpen(), "needs an X server (DISPLAY)");

    QProcess viewer;
    viewer.setProcessEnvironment(environment);
    viewer.start(QStringLiteral(ORBITVIEWER_PATH), arguments);
    QVERIFY(viewer.waitForStarted());

    Window window = 0;
    QTRY_VERIFY_WITH_TIMEOUT((window = x.windowOf(viewer.processId())) != 0, 20000);
    QCOMPARE(x.title(window), Title);
    QCOMPARE(x.size(window), QSize(500, 500));
    // The first frame: the square in the middle, the background in the corners.
    QTRY_VERIFY_WITH_TIMEOUT(near(x.pixel(window, 250, 250), QColor(15, 157, 88)), 20000);
    QVERIFY(near(x.pixel(window, 2, 2), QColor(153, 220, 236)));
    QVERIFY(near(x.pixel(window, 497, 497), QColor(153, 220, 236)));

    x.requestClose(window);
    QVERIFY(viewer.waitForFinished(20000));
    QCOMPARE(viewer.exitStatus(), QProcess::NormalExit);
    QCOMPARE(viewer.exitCode(), 0);
    QCOMPARE(viewer.readAllStandardOutput(), QByteArray());
    QCOMPARE(viewer.readAllStandardError(), QByteArray());
}

void TestOrbitViewer::noOpenGL_data()
{
    QTest::addColumn<QStringList>("unset");
    QTest::addColumn<QStringList>("set");

    QTest::newRow("offscreen platform, no X server")
        << QStringList{"DISPLAY", "WAYLAND_DISPLAY"} << QStringList{"QT_QPA_PLATFORM=offscreen"};
    QTest::newRow("X server without OpenGL") << QStringList() << QStringList{"QT_XCB_GL_INTEGRATION=none"};
}

void TestOrbitViewer::noOpenGL()
{
    QFETCH(QStringList, unset);
    QFETCH(QStringList, set);

    for (const QString &name : unset)
        environment.remove(name);
    for (const QString &assignment : set)
        environment.insert(assignment.section(QLatin1Char('='), 0, 0), assignment.section(QLatin1Char('='), 1));

    QProcess viewer;
    viewer.setProcessEnvironment(environment);
    viewer.start(QStringLiteral(ORBITVIEWER_PATH), QStringList());
    QVERIFY(viewer.waitForFinished(20000));
    QCOMPARE(viewer.exitStatus(), QProcess::NormalExit);
    QCOMPARE(viewer.exitCode(), 1);
    const QByteArray errors = viewer.readAllStandardError();
    QVERIFY2(errors.contains("orbitviewer: OpenGL could not be initialised: "), errors.constData());
}

QTEST_GUILESS_MAIN(TestOrbitViewer)
#include "tst_orbitviewer.moc"
