#include "src/app/preferencesaction.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

#include "src/app/captiontexts.h"

PreferencesAction::PreferencesAction(QWidget* window, QMenu* menu, const CaptionTexts& texts,
                                     QObject* parent)
    : QObject(parent), texts(texts), open(new QAction(window)) {
    open->setObjectName(QStringLiteral("preferencesAction"));
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    open->setShortcutContext(Qt::WindowShortcut);
    window->addAction(open);
    menu->addAction(open);
    retranslate();
    connect(open, &QAction::triggered, this, &PreferencesAction::triggered);
}

void PreferencesAction::retranslate() {
    open->setText(texts.text("Preferences"));
}
