#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include "src/app/parseoperation.h"

// The window's texts that carry no font of their own (menus, messages, screen-reader names), by
// caption key: the language file's entry once its parse has completed, else the English text
// compiled in. Placeholders such as {address} are filled from the values given. Main thread.
class CaptionTexts {
public:
    using Values = QHash<QString, QString>;

    // The completed caption dictionary; null (the default) gives the English texts.
    void setDictionary(const CaptionDictionary* completed) { dictionary = completed; }

    // The text for key with every {name} of values replaced, in one pass: a value's own braces
    // stay as they are, and a placeholder without a value stays as written.
    QString text(const char* key, const Values& values = {}) const;
    // The same for a text whose English comes from elsewhere (the search library's hints).
    QString text(const QString& key, const QString& english, const Values& values = {}) const;

    // Every key that has an English text compiled in.
    static QStringList keys();

private:
    const CaptionDictionary* dictionary = nullptr;
};
