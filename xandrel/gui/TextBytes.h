// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Bytes of the system's code page (UTF-8 here) as text, and back: the data
// files and the device core keep bytes, the windows show text.
#include <QString>
#include <string>

namespace xandrel::gui {

inline QString FromBytes(const std::string& bytes)
{
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

inline std::string ToBytes(const QString& text)
{
    return text.toUtf8().toStdString();
}

}  // namespace xandrel::gui
