#include "openglwindow.h"
#include "slowmachine.h"

#include <QTest>

#include <link.h>

#include <cstring>
#include <memory>
#include <new>

// malloc, calloc, realloc and operator new are replaced for this process and
// forward to glibc's own allocator, noting who called them.
// NOLINTBEGIN(bugprone-reserved-identifier): glibc's names for its allocator.
extern "C" void *__libc_malloc(size_t size);
extern "C" void *__libc_calloc(size_t count, size_t size);
extern "C" void *__libc_realloc(void *pointer, size_t size);
// NOLINTEND(bugprone-reserved-identifier)

namespace {

// The code whose allocations count as the window's own: this executable
// (which holds the window's code) and Qt. Allocations the GL driver makes
// inside its entry points, the compiler it may run among them, are its own
// affair.
struct CodeRange
{
    uintptr_t begin, end;
};
CodeRange ownCode[64];
int ownCodeRanges = 0;

thread_local bool counting = false;
int allocations = 0;

int collectOwnCode(dl_phdr_info *info, size_t /*size*/, void * /*data*/)
{
    const char *name = info->dlpi_name;
    if (name[0] != '\0' && !std::strstr(name, "libQt6"))
        return 0;
    for (int i = 0; i < info->dlpi_phnum && ownCodeRanges < 64; ++i) {
        const ElfW(Phdr) &segment = info->dlpi_phdr[i];
        if (segment.p_type == PT_LOAD && (segment.p_flags & PF_X)) {
            const uintptr_t begin = info->dlpi_addr + segment.p_vaddr;
            ownCode[ownCodeRanges++] = {begin, begin + segment.p_memsz};
        }
    }
    return 0;
}

[[maybe_unused]] void noteAllocation(const void *caller)
{
    if (!counting)
        return;
    const auto address = reinterpret_cast<uintptr_t>(caller);
    for (int i = 0; i < ownCodeRanges; ++i) {
        if (address >= ownCode[i].begin && address < ownCode[i].end) {
            ++allocations;
            return;
        }
    }
}

} // namespace

#ifndef ORBITVIEWER_SANITIZE

extern "C" void *malloc(size_t size)
{
    noteAllocation(__builtin_return_address(0));
    return __libc_malloc(size);
}

extern "C" void *calloc(size_t count, size_t size)
{
    noteAllocation(__builtin_return_address(0));
    return __libc_calloc(count, size);
}

extern "C" void *realloc(void *pointer, size_t size)
{
    noteAllocation(__builtin_return_address(0));
    return __libc_realloc(pointer, size);
}

void *operator new(size_t size)
{
    noteAllocation(__builtin_return_address(0));
    if (void *pointer = __libc_malloc(size ? size : 1))
        return pointer;
    throw std::bad_alloc();
}

void *operator new[](size_t size)
{
    noteAllocation(__builtin_return_address(0));
    if (void *pointer = __libc_malloc(size ? size : 1))
        return pointer;
    throw std::bad_alloc();
}

void *operator new(size_t size, const std::nothrow_t &) noexcept
{
    noteAllocation(__builtin_return_address(0));
    return __libc_malloc(size ? size : 1);
}

void *operator new[](size_t size, const std::nothrow_t &) noexcept
{
    noteAllocation(__builtin_return_address(0));
    return __libc_malloc(size ? size : 1);
}

#endif // ORBITVIEWER_SANITIZE

namespace {

class CountingWindow : public OpenGLWindow
{
public:
    int paints = 0;
    int allocationsWhilePainting = 0;

protected:
    void paintGL() override
    {
        const int before = allocations;
        counting = true;
        OpenGLWindow::paintGL();
        counting = false;
        allocationsWhilePainting += allocations - before;
        ++paints;
    }
};

} // namespace

class TestPaintAllocations : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void countsTheProgramsOwnAllocations();
    void paintAllocatesNothing();
};

void TestPaintAllocations::initTestCase()
{
    dl_iterate_phdr(collectOwnCode, nullptr);
    QVERIFY(ownCodeRanges >= 2);
}

// Without this the test below could pass because nothing is ever counted.
void TestPaintAllocations::countsTheProgramsOwnAllocations()
{
    const int before = allocations;
    counting = true;
    const QString text = QString::number(allocations).repeated(100);
    const auto object = std::make_unique<QObject>();
    counting = false;
    QVERIFY(!text.isEmpty() && object);
    QVERIFY2(allocations - before >= 2, qPrintable(QString::number(allocations - before)));
}

void TestPaintAllocations::paintAllocatesNothing()
{
    CountingWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window, defaultWait()));
    QTRY_VERIFY_WITH_TIMEOUT(window.paints > 0, defaultWait());

    // Frames after an orbit, a pan, a zoom and a resize: every matrix changes.
    QTest::mousePress(&window, Qt::LeftButton, {}, QPoint(100, 100));
    QTest::mouseMove(&window, QPoint(140, 120));
    QTest::mouseRelease(&window, Qt::LeftButton, {}, QPoint(140, 120));
    QTRY_VERIFY_WITH_TIMEOUT(window.paints > 1, defaultWait());
    QTest::mousePress(&window, Qt::RightButton, {}, QPoint(100, 100));
    QTest::mouseMove(&window, QPoint(80, 130));
    QTest::mouseRelease(&window, Qt::RightButton, {}, QPoint(80, 130));
    QTRY_VERIFY_WITH_TIMEOUT(window.paints > 2, defaultWait());
    QWheelEvent wheel(QPointF(50, 50), QPointF(50, 50), {}, QPoint(0, 120), Qt::NoButton, {}, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&window, &wheel);
    QTRY_VERIFY_WITH_TIMEOUT(window.paints > 3, defaultWait());
    window.resize(640, 360);
    QTRY_VERIFY_WITH_TIMEOUT(window.paints > 4, defaultWait());

    QCOMPARE(window.allocationsWhilePainting, 0);
}

QTEST_MAIN(TestPaintAllocations)
#include "tst_paintallocations.moc"
