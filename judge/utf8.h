#pragma once

// Byte strings hold UTF-8; they become QStrings only where they are shown or handed to Qt.

#include <QString>
#include <string>

inline QString from_utf8(const std::string &bytes)
{
    return QString::fromUtf8(bytes.data(), static_cast<int>(bytes.size()));
}

inline std::string to_utf8(const QString &text)
{
    return text.toUtf8().toStdString();
}
