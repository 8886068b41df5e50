#include "src/app/launchoptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLocale>

#include <cstdio>
#include <cstdlib>

#include "search/searchtargets.h"
#include "src/app/languagefile.h"
#include "src/store/printabletext.h"

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
    const QCommandLineOption probe(
        QStringLiteral("probe"),
        QStringLiteral("Also search TARGET beyond this network by unicast: an address, a range of "
                       "/20 or longer, or a host name (repeatable, 4096 addresses in all)."),
        QStringLiteral("TARGET"));
    const QCommandLineOption noRemember(
        QStringLiteral("no-remember"),
        QStringLiteral("Neither read nor write the remembered boxes (the book of known boxes)."));
    const QCommandLineOption background(
        QStringLiteral("background"),
        QStringLiteral("Start in the tray without the window: watch the boxes, tell when they come "
                       "and go, and wake the marked ones with this computer."));
    parser.addOptions({language, interface, excludeInterface, probe, noRemember, background});
    parser.process(arguments);

    LaunchOptions options;
    // uiLanguages honours LANGUAGE, LC_ALL, LC_MESSAGES and LANG, most preferred first.
    options.appleLanguages = parser.isSet(language) ? QStringList{parser.value(language)}
                                                    : QLocale::system().uiLanguages();
    options.resourceDirs = DefaultResourceDirs();
    options.interfaces = parser.values(interface);
    options.excludeInterfaces = parser.values(excludeInterface);
    // An empty pattern matches no interface name: refused, as nas-search refuses it.
    if (options.interfaces.contains(QString()) || options.excludeInterfaces.contains(QString())) {
        std::fprintf(stderr, "%s: --interface and --exclude-interface need a pattern\n",
                     qPrintable(QCoreApplication::applicationName()));
        std::exit(1);
    }
    // Addresses and ranges are checked whole here, their total too; a host name is resolved
    // later, off the window's thread, so that a resolver that does not answer never holds it up.
    std::vector<std::string> literal;
    for (const QString& text : parser.values(probe)) {
        const SearchTargetText read = ReadSearchTarget(text.toStdString());
        if (read.kind != SearchTargetText::Kind::HostName) literal.push_back(text.toStdString());
        options.probeTargets << text;
    }
    std::vector<std::string> addresses;
    std::string error;
    std::string refused;
    if (!ParseSearchTargets(literal, addresses, error, refused)) {
        std::fprintf(stderr, "nasfinder: --probe %s\n", Printable(error).c_str());
        std::exit(2);
    }
    options.remember = !parser.isSet(noRemember);
    options.background = parser.isSet(background);
    return options;
}
