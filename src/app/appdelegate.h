#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

// The application's delegate: colours the main window and reports the end of start-up.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    QWidget* window() const { return mainWindow; }
    void setWindow(QWidget* window) { mainWindow = window; }

public slots:
    // Gives the window its background colour, from the first display on.
    void awakeFromNib();
    // Runs once the event loop has started.
    void applicationDidFinishLaunching();

private:
    QPointer<QWidget> mainWindow;
};
