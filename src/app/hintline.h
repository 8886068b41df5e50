#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <cstddef>
#include <string>
#include <vector>

#include "search/searchhints.h"
#include "src/app/hintdetails.h"

class CaptionTexts;
class DeviceSource;
class QLabel;
class QThreadPool;

// The line above the buttons that says in a few words why the search is in trouble, with a
// "Details" link to every hint in full and each worker's state. Hidden while nothing is wrong,
// so that a healthy window looks as it always did. The diagnosis is gathered on a thread of
// the line's own (it may read /proc) and shown on the main thread, which makes every call.
class HintLine : public QObject {
    Q_OBJECT
public:
    // label, source and texts must outlive the line.
    HintLine(QLabel* label, DeviceSource& source, const CaptionTexts& texts,
             QObject* parent = nullptr);
    // Waits for a diagnosis still being gathered.
    ~HintLine() override;

    // What is known before any answer could come (no network, no privilege for the broadcast
    // port): as the window opens, and when a network appears.
    void checkAtOpen();
    // When the search window has ended with devicesFound boxes: every hint.
    void checkAfterSearch(std::size_t devicesFound);
    // A new search begins: the line goes, and so do the details and any check under way.
    void clear();
    // Writes the line again, for captions that arrived after it was shown.
    void retranslate();
    void applyAccessibleTexts();

    const std::vector<SearchHint>& hints() const { return shown; }
    HintDetails* details() const { return detailsDialog; }
    // True while a check is being gathered; its result is shown once it is done.
    bool checking() const { return pending > 0; }

signals:
    // A check's result is on the line.
    void checked();

public slots:
    void showDetails();

private:
    void check(std::size_t devicesFound, bool atOpen);
    void show(std::vector<SearchHint> hints, SearchDiagnosis diagnosis);

    QLabel* label;
    DeviceSource& source;
    const CaptionTexts& texts;
    QThreadPool* gathering;
    // Each check's number; a result shows only if no clear or later check came after it.
    int generation = 0;
    int pending = 0;
    std::vector<SearchHint> shown;
    SearchDiagnosis diagnosis;
    QPointer<HintDetails> detailsDialog;
};
