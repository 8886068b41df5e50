#include "src/app/openfailuremessage.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

#include "src/app/captiontexts.h"

QMessageBox* ShowOpenFailure(const QUrl& url, const CaptionTexts& texts, QWidget* parent) {
    const QString address = url.toString();
    auto* box = new QMessageBox(QMessageBox::Warning, QString(),
                                texts.text("Open Failed", {{QStringLiteral("address"), address}}),
                                QMessageBox::NoButton, parent);
    box->setObjectName(QStringLiteral("openFailureMessage"));
    // The address is a box's own text: never markup.
    box->setTextFormat(Qt::PlainText);
    box->setInformativeText(texts.text("No Handler", {{QStringLiteral("scheme"), url.scheme()}}));
    // The address may be selected by hand too, for a program that takes it typed in.
    box->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QPushButton* copy = box->addButton(texts.text("Copy Address"), QMessageBox::ActionRole);
    copy->setObjectName(QStringLiteral("copyAddressButton"));
    QObject::connect(copy, &QPushButton::clicked, box,
                     [address] { QGuiApplication::clipboard()->setText(address); });
    box->setDefaultButton(copy);
    box->setEscapeButton(box->addButton(texts.text("Close"), QMessageBox::RejectRole));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
    return box;
}
