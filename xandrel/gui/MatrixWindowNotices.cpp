// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/gui/MatrixWindowNotices.h"

namespace xandrel::gui {
namespace {

MatrixWindowNotices* g_Current = nullptr;

}  // namespace

MatrixWindowNotices* MatrixWindowNotices::Current()
{
    return g_Current;
}

MatrixWindowNotices::MatrixWindowNotices()
{
    g_Current = this;
}

MatrixWindowNotices::~MatrixWindowNotices()
{
    if (g_Current == this)
        g_Current = nullptr;
}

}  // namespace xandrel::gui
