#pragma once

// Byte strings hold UTF-8; they become QStrings only where they are shown or handed to Qt.

#include <QString>
#include <cstddef>
#include <string>

inline QString from_utf8(const std::string &bytes)
{
    return QString::fromUtf8(bytes.data(), static_cast<int>(bytes.size()));
}

inline std::string to_utf8(const QString &text)
{
    return text.toUtf8().toStdString();
}

// The length of the valid UTF-8 sequence that starts at `i`, or 0 when the byte there does not
// start one (a stray continuation byte, an overlong form, a surrogate, a cut sequence).
std::size_t utf8_sequence(const std::string &bytes, std::size_t i);

// Where `bytes` may be cut to keep at most `limit` bytes without splitting a character: `limit`
// moved back over any continuation bytes there; the whole length when it is no longer.
std::size_t utf8_cut(const std::string &bytes, std::size_t limit);

// Valid UTF-8 stays; a backslash doubles and every byte that is not part of valid UTF-8 becomes
// the four characters \xHH, so that any CSV reader takes the text and nothing is lost.
std::string escape_invalid_utf8(const std::string &bytes);
