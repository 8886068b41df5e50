#include "src/app/othernetworks.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

#include "src/app/captiontexts.h"
#include "src/app/searchsession.h"
#include "src/app/searchtargetlist.h"
#include "src/app/searchtargetsdialog.h"

OtherNetworks::OtherNetworks(QWidget* window, QMenu* menu, SearchSession& session,
                             const CaptionTexts& texts, QObject* parent)
    : QObject(parent), window(window), session(session), texts(texts), open(new QAction(window)) {
    open->setObjectName(QStringLiteral("otherNetworksAction"));
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    open->setShortcutContext(Qt::WindowShortcut);
    window->addAction(open);
    menu->addSeparator();
    menu->addAction(open);
    retranslate();
    connect(open, &QAction::triggered, this, &OtherNetworks::showDialog);
}

SearchTargetsDialog* OtherNetworks::dialog() const {
    return editor;
}

void OtherNetworks::retranslate() {
    open->setText(texts.text("Other Networks"));
}

void OtherNetworks::showDialog() {
    if (editor) {
        editor->activateWindow();
        return;
    }
    editor = new SearchTargetsDialog(session.targets(), texts, window);
    connect(editor, &SearchTargetsDialog::saved, this, [this](const QStringList& kept) {
        session.keepTargets(kept);
        emit searchAgain();
    });
    editor->open();
}
