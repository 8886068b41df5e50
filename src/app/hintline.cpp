#include "src/app/hintline.h"

#include <QCoreApplication>
#include <QLabel>
#include <QThreadPool>

#include <algorithm>
#include <utility>

#include "src/app/captiontexts.h"
#include "src/app/devicesource.h"
#include "src/app/hintdetails.h"
#include "src/app/hinttexts.h"

namespace {

// What the window can tell the moment it opens; the rest needs a search to have run.
bool KnownAtOpen(const SearchHint& hint) {
    return hint.code == "no-ipv4-interface" || hint.code == "broadcast-port-denied";
}

// Hints that a box in the table proves wrong until they are worked out again.
bool ContradictedByABox(const SearchHint& hint) {
    return hint.code == "no-ipv4-interface" || hint.code == "nothing-heard" ||
           hint.code == "send-failed" || hint.code == "answers-blocked" ||
           hint.code == "probe-unanswered";
}

}  // namespace

HintLine::HintLine(QLabel* label, DeviceSource& source, const CaptionTexts& texts,
                   std::function<std::size_t()> shownBoxes, QObject* parent)
    : QObject(parent),
      label(label),
      source(source),
      texts(texts),
      shownBoxes(std::move(shownBoxes)),
      gathering(new QThreadPool(this)) {
    gathering->setMaxThreadCount(1);
    label->setTextFormat(Qt::RichText);
    connect(label, &QLabel::linkActivated, this, &HintLine::showDetails);
    present();
}

HintLine::~HintLine() {
    // The task uses the source, which the window tears down after the line.
    gathering->waitForDone();
}

void HintLine::checkAtOpen() {
    check(true);
}

void HintLine::checkAfterSearch() {
    check(false);
}

void HintLine::boxesChanged() {
    if (shown.empty() && !checking()) return;
    const auto contradicted = std::remove_if(shown.begin(), shown.end(), ContradictedByABox);
    if (contradicted != shown.end()) {
        shown.erase(contradicted, shown.end());
        if (detailsDialog) detailsDialog->close();
        present();
    }
    check(atOpenOnly);
}

void HintLine::check(bool atOpen) {
    const int mine = ++generation;
    ++pending;
    atOpenOnly = atOpen;
    const std::size_t devicesFound = shownBoxes();
    QPointer<HintLine> line(this);
    DeviceSource* from = &source;
    gathering->start([line, from, devicesFound, atOpen, mine] {
        SearchDiagnosis found = from->Diagnose(devicesFound);
        // Back on the main thread; the line may be gone by then.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [line, found = std::move(found), devicesFound, atOpen, mine]() mutable {
                if (!line) return;
                --line->pending;
                if (mine != line->generation) return;
                // The table changed while the facts were gathered: they are gathered again.
                if (line->shownBoxes() != devicesFound) {
                    line->check(atOpen);
                    return;
                }
                std::vector<SearchHint> hints = std::move(found.hints);
                if (atOpen) {
                    hints.erase(std::remove_if(hints.begin(), hints.end(),
                                               [](const SearchHint& h) { return !KnownAtOpen(h); }),
                                hints.end());
                }
                line->show(std::move(hints), std::move(found));
                emit line->checked();
            },
            Qt::QueuedConnection);
    });
}

void HintLine::clear() {
    ++generation;
    news.clear();
    show({}, {});
}

void HintLine::tell(const QString& words) {
    news = words;
    present();
}

void HintLine::show(std::vector<SearchHint> hints, SearchDiagnosis found) {
    shown = std::move(hints);
    diagnosis = std::move(found);
    if (!shown.empty()) news.clear();
    if (detailsDialog) detailsDialog->close();
    present();
}

void HintLine::retranslate() {
    present();
}

void HintLine::present() {
    if (!news.isEmpty()) {
        label->setText(news.toHtmlEscaped());
        label->setAccessibleName(news);
        label->setAccessibleDescription(texts.text("Hint Line Help"));
    } else if (!shown.empty()) {
        const QString summary = HintTexts::Summary(shown.front(), texts);
        // The link's own colour stands out on the window's slate blue, as the white text does.
        label->setText(
            QStringLiteral("%1 &nbsp;<a href=\"details\" style=\"color: #ffd666;\">%2</a>")
                .arg(summary.toHtmlEscaped(), texts.text("Hint Details").toHtmlEscaped()));
        // A screen reader reads the name: the line's own words, then what to do.
        label->setAccessibleName(summary);
        label->setAccessibleDescription(HintTexts::Text(shown.front(), texts));
    } else {
        label->clear();
        label->setAccessibleName(texts.text("Hint Line"));
        label->setAccessibleDescription(texts.text("Hint Line Help"));
    }
    label->setVisible(!shown.empty() || !news.isEmpty());
}

void HintLine::showDetails() {
    if (shown.empty()) return;
    if (!detailsDialog) {
        detailsDialog = new HintDetails(shown, diagnosis.workers, diagnosis.unmatchedPatterns,
                                        texts, label->window());
    }
    detailsDialog->show();
    detailsDialog->raise();
}
