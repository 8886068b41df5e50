#include "src/app/launchoptions.h"

#include <QCommandLineParser>
#include <QLocale>

#include "src/app/languagefile.h"

LaunchOptions ParseLaunchOptions(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Finds network storage boxes on the local network and opens them."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption language(
        QStringLiteral("language"),
        QStringLiteral("Language of the captions instead of the desktop's: en, de, fr, es, it, "
                       "pl, pt or ru."),
        QStringLiteral("CODE"));
    const QCommandLineOption interface(
        QStringLiteral("interface"),
        QStringLiteral("Search from the interfaces whose names match the shell pattern GLOB only "
                       "(repeatable)."),
        QStringLiteral("GLOB"));
    const QCommandLineOption excludeInterface(
        QStringLiteral("exclude-interface"),
        QStringLiteral("Do not search from the interfaces whose names match GLOB (repeatable)."),
        QStringLiteral("GLOB"));
    const QCommandLineOption noRemember(
        QStringLiteral("no-remember"),
        QStringLiteral("Neither read nor write the remembered boxes (the book of known boxes)."));
    parser.addOptions({language, interface, excludeInterface, noRemember});
    parser.process(arguments);

    LaunchOptions options;
    // uiLanguages honours LANGUAGE, LC_ALL, LC_MESSAGES and LANG, most preferred first.
    options.appleLanguages = parser.isSet(language) ? QStringList{parser.value(language)}
                                                    : QLocale::system().uiLanguages();
    options.resourceDirs = DefaultResourceDirs();
    options.interfaces = parser.values(interface);
    options.excludeInterfaces = parser.values(excludeInterface);
    options.remember = !parser.isSet(noRemember);
    return options;
}
