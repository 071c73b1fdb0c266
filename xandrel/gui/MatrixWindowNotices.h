// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the parts beneath the matrix window tell it: the command bracket a
// command's end, the String Table dialog new names in ds.dat. The matrix
// window implements this and is the one told while it exists; the parts
// include this header, not the window's, so none of them depends on it.
#include <cstdint>

#include "xandrel/XandrelExport.h"

class INFODEVICEMATRIXBASE;
class QWidget;

namespace xandrel::gui {

class XANDREL_EXPORT MatrixWindowNotices {
public:
    // The one told: the matrix window made last, null while there is none.
    static MatrixWindowNotices* Current();

    // A command on `model` ended with `errorCode`: the line's lamp (when the
    // window drives `model`), then the window's refresh.
    virtual void commandEnded(INFODEVICEMATRIXBASE* model, uint8_t errorCode) = 0;
    // The input and output names in ds.dat changed: they show at once.
    virtual void namesChanged() = 0;
    // The parent of a command's failure report: the window while it shows,
    // else null.
    virtual QWidget* reportParent() = 0;

protected:
    MatrixWindowNotices();
    virtual ~MatrixWindowNotices();
    MatrixWindowNotices(const MatrixWindowNotices&) = delete;
    MatrixWindowNotices& operator=(const MatrixWindowNotices&) = delete;
};

}  // namespace xandrel::gui
