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
#include "src/app/searchtargetlist.h"

SearchTargetsDialog::SearchTargetsDialog(const SearchTargetList& targets, const CaptionTexts& texts,
                                         QWidget* parent)
    : QDialog(parent),
      list(targets),
      texts(texts),
      edit(new QPlainTextEdit(targets.kept().join(QLatin1Char('\n')), this)),
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
    showKeptStates();
    connect(&list, &SearchTargetList::resolved, this, &SearchTargetsDialog::showKeptStates);
}

void SearchTargetsDialog::showKeptStates() {
    // Once the user has changed the lines, Save speaks for them.
    if (edit->document()->isModified()) return;
    QStringList notes;
    const QList<SearchTargetList::Line> lines = list.keptLines();
    for (int i = 0; i < lines.size(); ++i) {
        if (lines[i].state == SearchTargetList::Line::State::Refused) {
            notes << texts.text("Target Problem", {{QStringLiteral("line"), QString::number(i + 1)},
                                                   {QStringLiteral("error"), lines[i].error}});
        } else if (lines[i].state == SearchTargetList::Line::State::Resolving) {
            notes << texts.text("Target Resolving",
                                {{QStringLiteral("line"), QString::number(i + 1)},
                                 {QStringLiteral("name"), lines[i].text.trimmed()}});
        }
    }
    problems->setText(notes.join(QLatin1Char('\n')));
    problems->setVisible(!notes.isEmpty());
}

QStringList SearchTargetsDialog::targets() const {
    QStringList lines;
    for (const QString& line : edit->toPlainText().split(QLatin1Char('\n'))) {
        if (!line.trimmed().isEmpty()) lines << line.trimmed();
    }
    return lines;
}

void SearchTargetsDialog::save() {
    // Each line on its own first, so that every refused line is named at once; then the total
    // of the addresses and ranges. A name is only read here: it resolves in the background.
    QStringList refused;
    int firstRefused = -1;
    std::vector<std::string> literal;
    const QStringList lines = edit->toPlainText().split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        if (lines[i].trimmed().isEmpty()) continue;
        const std::string text = lines[i].trimmed().toStdString();
        const SearchTargetText read = ReadSearchTarget(text);
        if (read.kind == SearchTargetText::Kind::Addresses) literal.push_back(text);
        if (read.kind != SearchTargetText::Kind::Refused) continue;
        if (firstRefused < 0) firstRefused = i;
        refused << texts.text("Target Problem",
                              {{QStringLiteral("line"), QString::number(i + 1)},
                               {QStringLiteral("error"), QString::fromStdString(read.error)}});
    }
    if (refused.isEmpty()) {
        std::vector<std::string> addresses;
        std::string error;
        std::string text;
        if (!ParseSearchTargets(literal, addresses, error, text)) {
            refused << QString::fromStdString(error);
        }
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
