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

}  // namespace

HintLine::HintLine(QLabel* label, DeviceSource& source, const CaptionTexts& texts, QObject* parent)
    : QObject(parent),
      label(label),
      source(source),
      texts(texts),
      gathering(new QThreadPool(this)) {
    gathering->setMaxThreadCount(1);
    label->setTextFormat(Qt::RichText);
    connect(label, &QLabel::linkActivated, this, &HintLine::showDetails);
}

HintLine::~HintLine() {
    // The task uses the source, which the window tears down after the line.
    gathering->waitForDone();
}

void HintLine::checkAtOpen() {
    check(0, true);
}

void HintLine::checkAfterSearch(std::size_t devicesFound) {
    check(devicesFound, false);
}

void HintLine::check(std::size_t devicesFound, bool atOpen) {
    const int mine = ++generation;
    ++pending;
    QPointer<HintLine> line(this);
    DeviceSource* from = &source;
    gathering->start([line, from, devicesFound, atOpen, mine] {
        SearchDiagnosis found = from->Diagnose(devicesFound);
        // Back on the main thread; the line may be gone by then.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [line, found = std::move(found), atOpen, mine]() mutable {
                if (!line) return;
                --line->pending;
                if (mine != line->generation) return;
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
    show({}, {});
}

void HintLine::show(std::vector<SearchHint> hints, SearchDiagnosis found) {
    shown = std::move(hints);
    diagnosis = std::move(found);
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
                       .arg(HintTexts::Summary(shown.front(), texts).toHtmlEscaped(),
                            texts.text("Hint Details").toHtmlEscaped()));
}

void HintLine::applyAccessibleTexts() {
    label->setAccessibleName(texts.text("Hint Line"));
    label->setAccessibleDescription(texts.text("Hint Line Help"));
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
