#include "src/app/preferencesdialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "src/app/autostartentry.h"
#include "src/app/captiontexts.h"

PreferencesDialog::PreferencesDialog(const CaptionTexts& texts, QWidget* parent)
    : QDialog(parent),
      preferences(Preferences::Load()),
      keepInTray(new QCheckBox(texts.text("Keep In Tray"), this)),
      autostart(new QCheckBox(texts.text("Start At Login"), this)),
      notify(new QCheckBox(texts.text("Notify Boxes"), this)),
      problem(new QLabel(this)),
      texts(texts) {
    setObjectName(QStringLiteral("preferencesDialog"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(texts.text("Preferences Title"));
    keepInTray->setObjectName(QStringLiteral("keepInTrayBox"));
    autostart->setObjectName(QStringLiteral("startAtLoginBox"));
    notify->setObjectName(QStringLiteral("notifyBox"));
    keepInTray->setChecked(preferences.keepInTray);
    autostart->setChecked(AutostartEntry::Enabled());
    notify->setChecked(preferences.notify);
    problem->setObjectName(QStringLiteral("preferencesProblem"));
    // A file system's words, quoted: never markup.
    problem->setTextFormat(Qt::PlainText);
    problem->setWordWrap(true);
    problem->hide();

    connect(keepInTray, &QCheckBox::toggled, this, &PreferencesDialog::keep);
    connect(notify, &QCheckBox::toggled, this, &PreferencesDialog::keep);
    connect(autostart, &QCheckBox::toggled, this, &PreferencesDialog::startAtLogin);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* close = buttons->addButton(texts.text("Close"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("preferencesClose"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(keepInTray);
    layout->addWidget(autostart);
    layout->addWidget(notify);
    layout->addWidget(problem);
    layout->addWidget(buttons);
}

void PreferencesDialog::keep() {
    preferences.keepInTray = keepInTray->isChecked();
    preferences.notify = notify->isChecked();
    preferences.save();
    emit changed(preferences);
}

void PreferencesDialog::startAtLogin(bool on) {
    QString error;
    if (AutostartEntry::SetEnabled(on, &error)) {
        problem->hide();
        return;
    }
    problem->setText(texts.text("Autostart Failed", {{QStringLiteral("error"), error}}));
    problem->show();
    const QSignalBlocker blocker(autostart);
    autostart->setChecked(AutostartEntry::Enabled());
}
