#pragma once

#include <QString>
#include <QStringList>

// Resource name of the language file for the most preferred language, "XML_en" ... "XML_ru".
// Only the language part counts, as written: "de", "de-AT" and "de_DE.UTF-8" give "XML_de",
// "pt-BR" gives "XML_pt"; a language without a file of its own gives "XML_en".
QString LanguageResourceName(const QString& preferredLanguage);

// The directories searched for the language files, in order: beside the program (the build
// tree), the data directory relative to the program (a relocated install), the XDG data
// directories, and the data directory the program was configured for.
QStringList DefaultResourceDirs();

// Path of name.type in the first of dirs that holds it, or a null QString.
QString PathForResource(const QStringList& dirs, const QString& name, const QString& type);
