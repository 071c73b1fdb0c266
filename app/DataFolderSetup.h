// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the program runs: the system names its data files relative to the
// current directory ("data/ds.dat", ...). When the current directory has no
// data folder, or QUELLIX_USER_DATA is set (as the desktop entries do: a
// launch from a menu starts in the home folder), the
// program moves to a folder of the person's own, ~/.local/share/quellix on
// Linux, which holds a writable copy of the data folder delivered with the
// program: files missing there are copied in, files already there — the
// person's edits — are never overwritten.
#include <QString>

namespace quellix {

struct DataFolderChoice {
    QString workingFolder;  // the current directory from now on
    QString copiedFrom;     // the delivered folder files were copied from, if any
    QString problem;        // why no per-user folder could be set up
};

// `deliveredCandidates`: folders that may hold the delivered data folder, the
// first that exists is taken. Changes the current directory when it moves.
DataFolderChoice ChooseDataFolder(const QStringList& deliveredCandidates, const QString& perUserFolder);

// Where an installed or built program finds its delivered data folder.
QStringList DeliveredDataFolders();
// ~/.local/share/quellix on Linux (the platform's per-user data location).
QString PerUserFolder();

}  // namespace quellix
