#pragma once
// Starting outside programs that outlive us, and watching whether they still run.
#include <QString>
#include <QStringList>

// Starts `program` with `arguments` as its argument list (never through a shell), in our
// environment and current folder, detached so that it goes on after we close. Returns its
// process id, or 0 when it could not be started.
qint64 StartDetachedProcess(const QString& program, const QStringList& arguments);

// True while the process `pid` exists and has not ended (an unreaped zombie has ended).
bool IsProcessAlive(qint64 pid);
