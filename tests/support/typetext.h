// Typing any text into a widget, Cyrillic included (QTest::keyClicks types Latin-1 only).
#pragma once

#include <QString>
#include <QTest>

namespace velmira {

// Presses and releases a key for every character of `text`, with the character as the key's text and
// its upper case as the key code, as a keyboard with the matching layout does.
inline void typeText(QWidget *widget, const QString &text)
{
    for (QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key(c.toUpper().unicode()), QString(c), Qt::NoModifier);
}

} // namespace velmira
