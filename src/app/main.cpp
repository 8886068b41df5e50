#include <QApplication>

#include "nasfinder/version.h"
#include "src/app/desktopapp.h"
#include "src/app/launchoptions.h"

namespace {

void NameTheApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("nasfinder"));
    QCoreApplication::setApplicationVersion(QStringLiteral(NASFINDER_VERSION));
}

}  // namespace

int main(int argc, char* argv[]) {
    LaunchOptions options;
    if (argc > 1) {
        // Read before the window system is reached, so that --help, --version and a bad option
        // answer in a terminal without a display.
        QCoreApplication reading(argc, argv);
        NameTheApplication();
        options = ParseLaunchOptions(QCoreApplication::arguments());
    }
    QApplication application(argc, argv);
    NameTheApplication();
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.nasfinder"));
    if (argc <= 1) options = ParseLaunchOptions(QApplication::arguments());

    DesktopApp desktop(options);
    // Another nasfinder of this session shows its window instead.
    if (!desktop.start()) return 0;
    return QApplication::exec();
}
