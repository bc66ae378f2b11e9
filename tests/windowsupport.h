#pragma once

// The window's tests: widgets found by object name, clicks and typing as a user would, and direct
// calls of the window's private slots.

#include "app/mainwindow.h"
#include "testsupport.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QTextBrowser>

inline QTextBrowser *output_area(MainWindow &window)
{
    return window.findChild<QTextBrowser *>(QStringLiteral("label_5"));
}

inline QString output_text(MainWindow &window)
{
    return output_area(window)->toPlainText();
}

template<typename T>
T *widget(MainWindow &window, const char *name)
{
    T *w = window.findChild<T *>(QString::fromLatin1(name));
    if (!w)
        qFatal("no widget %s", name);
    return w;
}

// Clicks a push button or radio button as a user would.
inline void click(MainWindow &window, const char *button)
{
    QTest::mouseClick(widget<QAbstractButton>(window, button), Qt::LeftButton);
}

// Types the program location and the command.
inline void fill(MainWindow &window, const QString &location, const QString &command = QString())
{
    widget<QLineEdit>(window, "location")->setText(location);
    widget<QLineEdit>(window, "input")->setText(command);
}

inline bool call_auto_test(MainWindow &window, const std::string &location_s,
                           const std::string &command_s, const std::string &input, int flag_stack)
{
    bool result = false;
    const bool invoked = QMetaObject::invokeMethod(
        &window, "auto_test", Qt::DirectConnection, Q_RETURN_ARG(bool, result),
        Q_ARG(string, location_s), Q_ARG(string, command_s), Q_ARG(string, input),
        Q_ARG(int, flag_stack));
    if (!invoked)
        qFatal("auto_test could not be invoked");
    return result;
}

inline std::string call_start_process(MainWindow &window, const QString &command)
{
    std::string result;
    if (!QMetaObject::invokeMethod(&window, "start_process", Qt::DirectConnection,
                                   Q_RETURN_ARG(string, result), Q_ARG(QString, command)))
        qFatal("start_process could not be invoked");
    return result;
}
