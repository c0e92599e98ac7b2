#include "procstats.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>

#include <unistd.h>

namespace {

// The fields of the first line of /proc/<pid>/<file> that starts with
// linePrefix, or nothing.
QList<QByteArray> procFields(qint64 pid, const char *file, const QByteArray &linePrefix)
{
    QFile proc(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(file)));
    if (!proc.open(QIODevice::ReadOnly))
        return {};
    for (QByteArray line = proc.readLine(); !line.isEmpty(); line = proc.readLine()) {
        if (line.startsWith(linePrefix))
            return line.simplified().split(' ');
    }
    return {};
}

// A "<name>: <n> kB" line, in MiB; negative when it cannot be read.
double kibLineMiB(qint64 pid, const char *file, const QByteArray &name)
{
    bool ok = false;
    const double kib = procFields(pid, file, name).value(1).toDouble(&ok);
    return ok ? kib / 1024.0 : -1;
}

} // namespace

double residentMiB(qint64 pid)
{
    return kibLineMiB(pid, "status", "VmRSS:");
}

double proportionalMiB(qint64 pid)
{
    return kibLineMiB(pid, "smaps_rollup", "Pss:");
}

double cpuMs(qint64 pid)
{
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    const QStringList threads = tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    double ns = 0;
    bool precise = !threads.isEmpty();
    for (const QString &thread : threads) {
        QFile schedstat(tasks.filePath(thread + QStringLiteral("/schedstat")));
        bool ok = false;
        if (schedstat.open(QIODevice::ReadOnly))
            ns += schedstat.readAll().split(' ').value(0).toDouble(&ok);
        precise = precise && ok;
    }
    if (precise)
        return ns / 1e6;

    // The command name in field 2 is parenthesised and may hold spaces; the
    // fields after it are counted from its closing parenthesis.
    QFile proc(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!proc.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray stat = proc.readAll();
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    const double ticks = fields.value(11).toDouble() + fields.value(12).toDouble(); // utime, stime
    return ticks * 1000.0 / double(sysconf(_SC_CLK_TCK));
}
