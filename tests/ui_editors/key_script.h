#pragma once
// Drives a widget with real key events from a short script: tokens separated by blanks,
// either a named key ("Home", "PgUp", "Bsp", ...) or characters typed one by one.

#include <QString>
#include <QStringList>
#include <QTest>
#include <QWidget>

inline void run_key_script(QWidget *w, const QString &script)
{
    static const QList<QPair<QString, Qt::Key>> named = {
        {"Home", Qt::Key_Home},     {"End", Qt::Key_End},       {"Up", Qt::Key_Up},
        {"Down", Qt::Key_Down},     {"Left", Qt::Key_Left},     {"Right", Qt::Key_Right},
        {"PgUp", Qt::Key_PageUp},   {"PgDn", Qt::Key_PageDown}, {"Del", Qt::Key_Delete},
        {"Bsp", Qt::Key_Backspace}, {"Ret", Qt::Key_Return},    {"Enter", Qt::Key_Enter},
        {"Shift", Qt::Key_Shift},
    };
    for (const QString &token : script.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        bool done = false;
        for (const auto &n : named) {
            if (n.first == token) {
                QTest::keyClick(w, n.second);
                done = true;
                break;
            }
        }
        if (!done) {
            for (QChar c : token)
                QTest::keyClick(w, c.toLatin1());
        }
    }
}
