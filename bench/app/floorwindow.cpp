// The floor for the window's start-up: a bare Qt 6 program that shows the same form (the same
// uic layout and widgets) and nothing else: no controller, no search, no language parse.
//
//   nasfinder_floor_bench --child-start START_MS
//
// Started by nasfinder_app_bench, which compares its first paint with the real window's.

#include <QApplication>
#include <QWidget>

#include <cstdlib>
#include <cstring>

#include "bench/app/firstpaintwatch.h"
#include "ui_mainwindow.h"

int main(int argc, char** argv) {
    if (argc < 3 || std::strcmp(argv[1], "--child-start") != 0) return 2;
    const double startMs = std::atof(argv[2]);
    QApplication application(argc, argv);
    QWidget window;
    Ui::MainWindow form;
    form.setupUi(&window);
    FirstPaintWatch watch(startMs);
    application.installEventFilter(&watch);
    window.show();
    return QApplication::exec();
}
