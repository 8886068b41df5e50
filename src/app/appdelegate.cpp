#include "src/app/appdelegate.h"

#include <QColor>
#include <QPalette>

#include "src/app/consolelog.h"

namespace {

// The window's slate blue, given in single precision like the rest of the window's colours.
constexpr float kWindowRed = 0.33f;
constexpr float kWindowGreen = 0.41f;
constexpr float kWindowBlue = 0.54f;
constexpr float kWindowAlpha = 1.0f;

}  // namespace

void AppDelegate::awakeFromNib() {
    if (mainWindow) {
        QPalette palette = mainWindow->palette();
        palette.setColor(QPalette::Window,
                         QColor::fromRgbF(kWindowRed, kWindowGreen, kWindowBlue, kWindowAlpha));
        mainWindow->setPalette(palette);
        mainWindow->setAutoFillBackground(true);
    }
    ConsoleLog(QStringLiteral("application awakeFromNib........"));
}

void AppDelegate::applicationDidFinishLaunching() {
    ConsoleLog(QStringLiteral("applicationDidFinishLaunching........"));
}
