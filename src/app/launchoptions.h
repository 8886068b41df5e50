#pragma once

#include <QStringList>

// What the program is told at start. Configuration comes from arguments only; what is kept
// between runs is the book of known boxes (src/store/knownboxes.h).
struct LaunchOptions {
    // The user's preferred languages, most preferred first; element 0 picks the language file.
    QStringList appleLanguages;
    // Where the language files are looked up, in order.
    QStringList resourceDirs;
    // Shell patterns on interface names: which interfaces get a search worker of their own.
    QStringList interfaces;
    QStringList excludeInterfaces;
    // False with --no-remember: the book of known boxes is neither read nor written.
    bool remember = true;
};

// Reads --language CODE (which overrides the desktop's language list) and the repeatable
// --interface GLOB, --exclude-interface GLOB and --no-remember from the program's arguments. --help and
// --version print and exit, as does an unknown option (status 1); they need a
// QCoreApplication, not a display.
LaunchOptions ParseLaunchOptions(const QStringList& arguments);
