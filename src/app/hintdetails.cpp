#include "src/app/hintdetails.h"

#include <QClipboard>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "src/app/captiontexts.h"
#include "src/app/hinttexts.h"

HintDetails::HintDetails(const std::vector<SearchHint>& hints,
                         const std::vector<SearchWorkerHealth>& workers,
                         const std::vector<std::string>& unmatchedPatterns,
                         const CaptionTexts& texts, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("hintDetails"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(texts.text("Search Details"));

    auto* text = new QPlainTextEdit(Text(hints, workers, unmatchedPatterns, texts), this);
    text->setObjectName(QStringLiteral("hintDetailsText"));
    text->setReadOnly(true);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    text->setAccessibleName(texts.text("Search Details"));

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* copy = buttons->addButton(texts.text("Copy Text"), QDialogButtonBox::ActionRole);
    copy->setObjectName(QStringLiteral("hintDetailsCopy"));
    QPushButton* close = buttons->addButton(texts.text("Close"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("hintDetailsClose"));
    connect(copy, &QPushButton::clicked, this,
            [text] { QGuiApplication::clipboard()->setText(text->toPlainText()); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(buttons);
    resize(600, 300);
}

QString HintDetails::Text(const std::vector<SearchHint>& hints,
                          const std::vector<SearchWorkerHealth>& workers,
                          const std::vector<std::string>& unmatchedPatterns,
                          const CaptionTexts& texts) {
    QString text;
    for (const SearchHint& hint : hints) {
        text += HintTexts::Summary(hint, texts) + QLatin1Char('\n') + HintTexts::Text(hint, texts) +
                QStringLiteral("\n\n");
    }
    for (const std::string& pattern : unmatchedPatterns) {
        text += texts.text("Pattern Unmatched",
                           {{QStringLiteral("pattern"),
                             QStringLiteral("'%1'").arg(QString::fromStdString(pattern))}}) +
                QStringLiteral("\n\n");
    }
    text += texts.text("Search Workers") + QStringLiteral(":\n");
    for (const SearchWorkerHealth& worker : workers) {
        text += QString::fromStdString(DescribeSearchWorker(worker, true)) + QLatin1Char('\n');
    }
    return text;
}
