// SPDX-License-Identifier: GPL-3.0-or-later
#include "DataFolderSetup.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace quellix {

QStringList DeliveredDataFolders()
{
    const QString programFolder = QCoreApplication::applicationDirPath();
    QStringList folders{programFolder + "/../share/quellix/data", programFolder + "/data"};
#if defined(QUELLIX_SOURCE_DATA)
    folders << QStringLiteral(QUELLIX_SOURCE_DATA);  // a program run from its build tree
#endif
    return folders;
}

QString PerUserFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/quellix";
}

DataFolderChoice ChooseDataFolder(const QStringList& deliveredCandidates, const QString& perUserFolder)
{
    DataFolderChoice choice;
    // The desktop entries set QUELLIX_USER_DATA: a launch from a menu starts in
    // the home folder, whose own "data" folder is none of ours.
    const bool perUserWanted = !qEnvironmentVariableIsEmpty("QUELLIX_USER_DATA");
    if (!perUserWanted && QFileInfo(QStringLiteral("data")).isDir()) {
        choice.workingFolder = QDir::currentPath();
        return choice;
    }
    const QString userData = perUserFolder + "/data";
    if (!QDir().mkpath(userData)) {
        choice.problem = QStringLiteral("cannot create %1; the built-in settings are used").arg(userData);
        choice.workingFolder = QDir::currentPath();
        return choice;
    }
    for (const QString& candidate : deliveredCandidates) {
        const QDir delivered(candidate);
        if (!delivered.exists())
            continue;
        for (const QString& name : delivered.entryList(QDir::Files)) {
            const QString target = userData + "/" + name;
            if (!QFileInfo::exists(target) && QFile::copy(delivered.filePath(name), target))
                QFile::setPermissions(target, QFile::permissions(target) | QFile::WriteOwner);
        }
        choice.copiedFrom = delivered.absolutePath();
        break;
    }
    QDir::setCurrent(perUserFolder);
    choice.workingFolder = perUserFolder;
    return choice;
}

}  // namespace quellix
