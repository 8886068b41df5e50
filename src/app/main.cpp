#include <QApplication>
#include <QTimer>

#include "nasfinder/version.h"
#include "src/app/appdelegate.h"
#include "src/app/launchoptions.h"
#include "src/app/mainwindow.h"

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

    MainWindow window(options);
    window.show();
    // Queued, so that it runs once the event loop has taken over.
    QTimer::singleShot(0, window.appDelegate(), &AppDelegate::applicationDidFinishLaunching);
    return QApplication::exec();
}
