// screengrab FILE X Y WIDTH HEIGHT
// Saves that part of the X screen ($DISPLAY, QT_QPA_PLATFORM=xcb) as a PNG: the tray lab's
// picture of the tray menu, popups included, as a person sees them.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <cstdio>

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    int numbers[4] = {};
    bool valid = args.size() == 5;
    for (int i = 0; valid && i < 4; ++i) numbers[i] = args[i + 1].toInt(&valid);
    if (!valid) {
        std::fprintf(stderr, "usage: screengrab FILE X Y WIDTH HEIGHT\n");
        return 2;
    }
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0, numbers[0], numbers[1],
                                                                      numbers[2], numbers[3]);
    if (shot.isNull() || !shot.save(args[0], "PNG")) {
        std::fprintf(stderr, "screengrab: could not save %s\n", qPrintable(args[0]));
        return 1;
    }
    return 0;
}
