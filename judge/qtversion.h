#pragma once

// The few places where Qt 5 and Qt 6 differ, in one header.

#include <QtGlobal>

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
#include <QTextCodec>
#endif

// File names and arguments are UTF-8 bytes whatever the locale says. Qt 6 always decodes them so
// on Unix; Qt 5 follows the locale, which is Latin-1 under the C locale of a bare shell.
inline void use_utf8_for_local_text()
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
#endif
}

#include <QLibraryInfo>
#include <QString>

// Where Qt's own translations are installed.
inline QString qt_translations_folder()
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    return QLibraryInfo::location(QLibraryInfo::TranslationsPath);
#else
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
#endif
}
