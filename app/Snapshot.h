// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A run that looks after itself, for machines without a person at the screen
// (a virtual display, an end-to-end test): with QUELLIX_SNAPSHOT_DIR set, the
// program saves a picture of the splash (cut to its shape), opens the port and
// reads the device as an operator would, saves a picture of the matrix window
// into that folder, writes what it saw (and the text of every message box,
// which nobody could answer) to run.txt, then closes the matrix window as a
// person would, which ends the program.
#include <QString>

class CQuellixDlg;

namespace quellix {

void ScheduleSnapshots(CQuellixDlg& splash, const QString& folder);

}  // namespace quellix
