#include "docpaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

QStringList& manualDirsOverride()
{
    static QStringList dirs;
    return dirs;
}

}  // namespace

void SetManualDirs(const QStringList& dirs)
{
    manualDirsOverride() = dirs;
}

QString FindManual(const QString& fileName)
{
    const QDir appDir(QCoreApplication::applicationDirPath());
    QStringList dirs = manualDirsOverride();
    if (dirs.isEmpty()) {
        dirs = {appDir.absolutePath(),
                appDir.absoluteFilePath(QStringLiteral("../") + QStringLiteral(SARVIK_DOC_DIR_RELATIVE)),
                QStringLiteral(SARVIK_DOC_DIR_BUILD)};
    }
    for (const QString& dir : dirs) {
        const QString path = QDir::cleanPath(dir + QLatin1Char('/') + fileName);
        if (QFileInfo(path).isFile())
            return path;
    }
    return {};
}

QString ManualPath(const QString& fileName)
{
    const QString found = FindManual(fileName);
    return found.isEmpty() ? QDir(QCoreApplication::applicationDirPath()).filePath(fileName) : found;
}
