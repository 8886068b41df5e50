#include "src/app/mainwindow.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QTimer>

#include "src/app/appdelegate.h"
#include "src/app/controller.h"
#include "src/app/devicetablemodel.h"
#include "src/app/searchsession.h"
#include "src/app/storedevicesource.h"
#include "ui_mainwindow.h"

namespace {

std::vector<std::string> Patterns(const QStringList& list) {
    std::vector<std::string> patterns;
    for (const QString& pattern : list) patterns.push_back(pattern.toStdString());
    return patterns;
}

std::unique_ptr<DeviceSource> StoreSourceFor(const LaunchOptions& options) {
    return std::make_unique<StoreDeviceSource>(Patterns(options.interfaces),
                                               Patterns(options.excludeInterfaces));
}

}  // namespace

MainWindow::MainWindow(const LaunchOptions& options, DeviceSource* source, QWidget* parent)
    : QWidget(parent),
      ui(std::make_unique<Ui::MainWindow>()),
      storeSource(source ? nullptr : StoreSourceFor(options)),
      ownSession(std::make_unique<SearchSession>(source ? *source : *storeSource, options)) {
    build(*ownSession, options);
}

MainWindow::MainWindow(SearchSession& session, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::MainWindow>()) {
    build(session, session.launchOptions());
}

void MainWindow::build(SearchSession& session, const LaunchOptions& options) {
    arrayController = new DeviceTableModel(this);
    delegate = new AppDelegate(this);
    windowController = new Controller(session, this);
    ui->setupUi(this);

    // The form binds the columns to row keys and gives their titles until captions arrive.
    arrayController->setColumns(ui->tableview->property("columnKeys").toStringList(),
                                ui->tableview->property("columnTitles").toStringList());
    ui->tableview->setModel(arrayController);
    // Unsorted until the user clicks a header: the rows keep the device list's order.
    ui->tableview->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    ui->tableview->setSortingEnabled(true);

    delegate->setWindow(this);
    windowController->setOutlets({ui->tableview, arrayController, ui->loginbutton,
                                  ui->refreshbutton, ui->storagebutton, ui->countdownField,
                                  ui->deviceListField, ui->hintLine});
    windowController->setLaunchOptions(options);

    connect(ui->loginbutton, &QPushButton::clicked, windowController, &Controller::onLogin);
    connect(ui->refreshbutton, &QPushButton::clicked, windowController, &Controller::onRefreash);
    connect(ui->storagebutton, &QPushButton::clicked, windowController, &Controller::onGotoStorage);
    connect(ui->tableview->horizontalHeader(), &QHeaderView::sortIndicatorChanged, windowController,
            &Controller::tableViewSortDescriptorsDidChange);
    connect(this, &MainWindow::windowWillClose, windowController, &Controller::windowWillClose);

    windowController->awakeFromNib();
    delegate->awakeFromNib();
}

MainWindow::~MainWindow() {
    // Before the session it drives, which the members below hold.
    delete windowController;
}

void MainWindow::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (painted) return;
    painted = true;
    // The window is painted before its children and the frame is flushed after them all: a zero
    // timer started here runs once the whole first frame is on screen.
    QTimer::singleShot(0, windowController, &Controller::windowDidAppear);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (hidesOnClose) {
        event->ignore();
        hide();
        return;
    }
    event->accept();
    emit windowWillClose();
}
