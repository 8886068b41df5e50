#include <QApplication>
#include <QTimer>

#include "src/app/appdelegate.h"
#include "src/app/launchoptions.h"
#include "src/app/mainwindow.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("nasfinder"));
    QApplication::setApplicationVersion(QStringLiteral(NASFINDER_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("io.github.nasfinder"));

    const LaunchOptions options = ParseLaunchOptions(QApplication::arguments());
    MainWindow window(options);
    window.show();
    // Queued, so that it runs once the event loop has taken over.
    QTimer::singleShot(0, window.appDelegate(), &AppDelegate::applicationDidFinishLaunching);
    return QApplication::exec();
}
