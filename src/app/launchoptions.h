#pragma once

#include <QStringList>

// What the program is told at start. Configuration comes from arguments only; nothing is kept
// between runs.
struct LaunchOptions {
    // The user's preferred languages, most preferred first; element 0 picks the language file.
    QStringList appleLanguages;
    // Where the language files are looked up, in order.
    QStringList resourceDirs;
    // Shell patterns on interface names: which interfaces get a search worker of their own.
    QStringList interfaces;
    QStringList excludeInterfaces;
};

// Reads --language CODE (which overrides the desktop's language list) and the repeatable
// --interface GLOB and --exclude-interface GLOB from the program's arguments. --help and
// --version print and exit, as do an unknown option and an empty pattern (status 1); they need
// a QCoreApplication, not a display.
LaunchOptions ParseLaunchOptions(const QStringList& arguments);
