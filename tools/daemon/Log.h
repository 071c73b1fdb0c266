// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The daemon's log: one line per event on stderr, where the service
// manager's journal takes it.
#include <QString>

#include <cstdio>

namespace quellixd {

inline void Log(const QString& line)
{
    std::fprintf(stderr, "quellixd: %s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

}  // namespace quellixd
