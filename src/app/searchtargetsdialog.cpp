#include "src/app/searchtargetsdialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QVBoxLayout>

#include <string>
#include <vector>

#include "search/searchtargets.h"
#include "src/app/captiontexts.h"

SearchTargetsDialog::SearchTargetsDialog(const QStringList& targets, const CaptionTexts& texts,
                                         QWidget* parent)
    : QDialog(parent),
      texts(texts),
      edit(new QPlainTextEdit(targets.join(QLatin1Char('\n')), this)),
      problems(new QLabel(this)) {
    setObjectName(QStringLiteral("searchTargetsDialog"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(true);
    setWindowTitle(texts.text("Other Networks Title"));

    auto* help = new QLabel(texts.text("Other Networks Help"), this);
    help->setWordWrap(true);
    edit->setObjectName(QStringLiteral("searchTargetsEdit"));
    edit->setAccessibleName(texts.text("Targets"));
    edit->setAccessibleDescription(texts.text("Other Networks Help"));
    edit->setTabChangesFocus(true);
    help->setBuddy(edit);
    problems->setObjectName(QStringLiteral("searchTargetsProblems"));
    // The refused lines quote what was typed or kept: never markup.
    problems->setTextFormat(Qt::PlainText);
    problems->setAccessibleName(texts.text("Target Problems"));
    problems->setWordWrap(true);
    problems->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    problems->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    problems->hide();

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* save = buttons->addButton(texts.text("Save"), QDialogButtonBox::AcceptRole);
    save->setObjectName(QStringLiteral("searchTargetsSave"));
    save->setAccessibleDescription(texts.text("Save Targets Help"));
    QPushButton* cancel = buttons->addButton(texts.text("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("searchTargetsCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &SearchTargetsDialog::save);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* lines = new QHBoxLayout;
    lines->addWidget(edit, 3);
    lines->addWidget(problems, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(help);
    layout->addLayout(lines);
    layout->addWidget(buttons);
    resize(640, 320);
}

QStringList SearchTargetsDialog::targets() const {
    QStringList lines;
    for (const QString& line : edit->toPlainText().split(QLatin1Char('\n'))) {
        if (!line.trimmed().isEmpty()) lines << line.trimmed();
    }
    return lines;
}

void SearchTargetsDialog::save() {
    // Each line on its own first, so that every refused line is named at once; then the total.
    QStringList refused;
    int firstRefused = -1;
    std::vector<std::string> kept;
    const QStringList lines = edit->toPlainText().split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        if (lines[i].trimmed().isEmpty()) continue;
        std::vector<std::string> addresses;
        std::string error;
        kept.push_back(lines[i].trimmed().toStdString());
        if (ParseSearchTarget(kept.back(), addresses, error)) continue;
        if (firstRefused < 0) firstRefused = i;
        refused << texts.text("Target Problem", {{QStringLiteral("line"), QString::number(i + 1)},
                                                 {QStringLiteral("error"),
                                                  QString::fromStdString(error)}});
    }
    if (refused.isEmpty()) {
        std::vector<std::string> addresses;
        std::string error;
        std::string text;
        if (!ParseSearchTargets(kept, addresses, error, text)) refused << QString::fromStdString(error);
    }
    if (!refused.isEmpty()) {
        problems->setText(refused.join(QLatin1Char('\n')));
        problems->show();
        edit->setFocus();
        if (firstRefused >= 0) {
            edit->setTextCursor(QTextCursor(edit->document()->findBlockByNumber(firstRefused)));
        }
        return;
    }
    emit saved(targets());
    accept();
}
