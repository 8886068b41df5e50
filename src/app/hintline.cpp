#include "src/app/hintline.h"

#include <QLabel>

#include <algorithm>
#include <utility>

#include "src/app/captiontexts.h"
#include "src/app/devicesource.h"
#include "src/app/hintdetails.h"

namespace {

// What the window can tell the moment it opens; the rest needs a search to have run.
bool KnownAtOpen(const SearchHint& hint) {
    return hint.code == "no-ipv4-interface" || hint.code == "broadcast-port-denied";
}

CaptionTexts::Values Values(const SearchHint& hint) {
    CaptionTexts::Values values;
    for (const SearchHintFact& fact : hint.facts) {
        values.insert(QString::fromStdString(fact.name), QString::fromStdString(fact.value));
    }
    return values;
}

}  // namespace

HintLine::HintLine(QLabel* label, DeviceSource& source, const CaptionTexts& texts, QObject* parent)
    : QObject(parent), label(label), source(source), texts(texts) {
    label->setTextFormat(Qt::RichText);
    connect(label, &QLabel::linkActivated, this, &HintLine::showDetails);
}

void HintLine::checkAtOpen() {
    SearchFacts facts = source.Facts(0);
    std::vector<SearchHint> hints = SearchHints(facts);
    hints.erase(std::remove_if(hints.begin(), hints.end(),
                               [](const SearchHint& hint) { return !KnownAtOpen(hint); }),
                hints.end());
    show(std::move(hints), std::move(facts.workers));
}

void HintLine::checkAfterSearch(std::size_t devicesFound) {
    SearchFacts facts = source.Facts(devicesFound);
    std::vector<SearchHint> hints = SearchHints(facts);
    show(std::move(hints), std::move(facts.workers));
}

void HintLine::clear() {
    show({}, {});
}

void HintLine::show(std::vector<SearchHint> hints, std::vector<SearchWorkerHealth> found) {
    shown = std::move(hints);
    workers = std::move(found);
    if (detailsDialog) detailsDialog->close();
    retranslate();
    label->setVisible(!shown.empty());
}

void HintLine::retranslate() {
    if (shown.empty()) {
        label->clear();
        return;
    }
    // The link's own colour stands out on the window's slate blue, as the white text does.
    label->setText(QStringLiteral("%1 &nbsp;<a href=\"details\" style=\"color: #ffd666;\">%2</a>")
                       .arg(Summary(shown.front(), texts).toHtmlEscaped(),
                            texts.text("Hint Details").toHtmlEscaped()));
}

void HintLine::applyAccessibleTexts() {
    label->setAccessibleName(texts.text("Hint Line"));
    label->setAccessibleDescription(texts.text("Hint Line Help"));
}

void HintLine::showDetails() {
    if (shown.empty()) return;
    if (!detailsDialog) detailsDialog = new HintDetails(shown, workers, texts, label->window());
    detailsDialog->show();
    detailsDialog->raise();
}

QString HintLine::Summary(const SearchHint& hint, const CaptionTexts& texts) {
    return texts.text(QStringLiteral("Hint %1 Summary").arg(QString::fromStdString(hint.code)),
                      QString::fromStdString(hint.summaryPattern), Values(hint));
}

QString HintLine::Text(const SearchHint& hint, const CaptionTexts& texts) {
    return texts.text(QStringLiteral("Hint %1").arg(QString::fromStdString(hint.WordingKey())),
                      QString::fromStdString(hint.textPattern), Values(hint));
}
