#include "U_Process.h"

#include <QFile>
#include <QProcess>
#include <cerrno>
#include <csignal>
#include <sys/types.h>

qint64 StartDetachedProcess(const QString& program, const QStringList& arguments) {
    if (program.isEmpty()) return 0;
    qint64 pid = 0;
    if (!QProcess::startDetached(program, arguments, QString(), &pid)) return 0;
    return pid;
}

bool IsProcessAlive(qint64 pid) {
    if (pid <= 0) return false;
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM) return false;
    // A detached child is reparented; where nobody reaps it, it lingers as a zombie.
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return true;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close < 0 || close + 2 >= line.size() || line.at(close + 2) != 'Z';
}
