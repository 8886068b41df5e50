#pragma once

#include <QStringList>

#include <string>
#include <vector>

// What the program is told at start, from its arguments. What is kept between runs lives in
// the user's settings (the search targets: see SearchTargetList) and in the book of known
// boxes (src/store/knownboxes.h).
struct LaunchOptions {
    // The user's preferred languages, most preferred first; element 0 picks the language file.
    QStringList appleLanguages;
    // Where the language files are looked up, in order.
    QStringList resourceDirs;
    // Shell patterns on interface names: which interfaces get a search worker of their own.
    QStringList interfaces;
    QStringList excludeInterfaces;
    // --probe targets for this run, as given: each an address, a range or a host name (which
    // the search target list resolves once the window is up).
    QStringList probeTargets;
    // False with --no-remember: the book of known boxes is neither read nor written.
    bool remember = true;
    // --background: start in the tray, without the window.
    bool background = false;
};

// Reads --language CODE (which overrides the desktop's language list), the repeatable
// --interface GLOB, --exclude-interface GLOB and --probe TARGET, --no-remember and --background
// from the program's arguments. --help and --version print and exit, as do an unknown option and an
// empty pattern (status 1) and a refused --probe target (status 2, one line quoting it, before
// any socket opens; a host name is only read here, never resolved); they need a
// QCoreApplication, not a display.
LaunchOptions ParseLaunchOptions(const QStringList& arguments);
