#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <cstddef>
#include <vector>

#include "search/searchhints.h"
#include "src/app/hintdetails.h"

class CaptionTexts;
class DeviceSource;
class QLabel;

// The line above the buttons that says in a few words why the search is in trouble, with a
// "Details" link to every hint in full and each worker's state. Hidden while nothing is wrong,
// so that a healthy window looks as it always did. Main thread.
class HintLine : public QObject {
    Q_OBJECT
public:
    // label and texts must outlive the line.
    HintLine(QLabel* label, DeviceSource& source, const CaptionTexts& texts,
             QObject* parent = nullptr);

    // As the window opens: what is known before any answer could come (no network, no
    // privilege for the broadcast port).
    void checkAtOpen();
    // When the search window has ended with devicesFound boxes: every hint.
    void checkAfterSearch(std::size_t devicesFound);
    // A new search begins: the line goes, and so do the details.
    void clear();
    // Writes the line again, for captions that arrived after it was shown.
    void retranslate();
    void applyAccessibleTexts();

    const std::vector<SearchHint>& hints() const { return shown; }
    HintDetails* details() const { return detailsDialog; }

    // A hint's summary and text in the user's language, with its facts filled in.
    static QString Summary(const SearchHint& hint, const CaptionTexts& texts);
    static QString Text(const SearchHint& hint, const CaptionTexts& texts);

public slots:
    void showDetails();

private:
    void show(std::vector<SearchHint> hints, std::vector<SearchWorkerHealth> workers);

    QLabel* label;
    DeviceSource& source;
    const CaptionTexts& texts;
    std::vector<SearchHint> shown;
    std::vector<SearchWorkerHealth> workers;
    QPointer<HintDetails> detailsDialog;
};
