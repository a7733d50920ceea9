#include "U_ExternalPrograms.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <unistd.h>

#include "platform/U_AppPaths.h"
#include "platform/os/U_Settings.h"

namespace {

bool IsProgramFile(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

} // namespace

QString FindExternalProgram(const QString& valueName, const QString& programFile) {
    const auto value = ReadStringValue(TSettingsHive::Machine, DalvexKey, valueName.toStdString());
    QString result = value ? QString::fromStdString(*value) : QString();
    if (result.isEmpty()) return {};
    if (!QFileInfo(result).isFile()) {
        if (!result.endsWith('/')) result += '/';
        result += programFile;
    }
    return IsProgramFile(result) ? result : QString();
}

QString FindBurner() {
    return FindExternalProgram("BurnDeck", "burndeck");
}

QString FindDvdConverter() {
    const QString first = FindExternalProgram("movieTodisc", "movietodisc");
    return first.isEmpty() ? FindExternalProgram("ClipToDisc", "cliptodisc") : first;
}

QString DefaultJobFolder() {
    const QString exeFolder = QCoreApplication::applicationDirPath();
    if (!exeFolder.isEmpty() && ::access(QFile::encodeName(exeFolder).constData(), W_OK) == 0)
        return exeFolder;
    QString state = QString::fromStdString(StateFolder());
    if (state.isEmpty()) return exeFolder;
    QDir().mkpath(state);
    if (state.endsWith('/')) state.chop(1);
    return state;
}

QString JobFilePath(const QString& folder, const QString& prefix, int number,
                    const QString& extension) {
    return folder + '/' + prefix + '_' + QString::number(number) + extension;
}

QString WriteJobListFile(const QString& path, const QString& videoFile) {
    const auto failure = [&](const QString& why) {
        return QStringLiteral("Cannot create file \"%1\". %2").arg(path, why);
    };
    // The burner reads one name per line: a line break inside the name would name two files.
    if (videoFile.contains('\n') || videoFile.contains('\r'))
        return failure("The video file name contains a line break.");
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return failure(file.errorString());
    file.write(videoFile.toUtf8() + "\r\n");
    if (!file.commit()) return failure(file.errorString());
    return {};
}
