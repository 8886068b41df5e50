#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "search/searchhints.h"
#include "src/app/hintdetails.h"

class CaptionTexts;
class DeviceSource;
class QLabel;
class QThreadPool;

// The line above the buttons that says in a few words why the search is in trouble, with a
// "Details" link to every hint in full and each worker's state; the other parts of the window say
// their news there too (a box being woken, a book set aside). Hidden while there is nothing to
// say, so that a healthy window looks as it always did. A hint always agrees with the table: it
// is worked out for the number of boxes the table shows, and worked out again, the hints a box
// contradicts withdrawn at once, whenever that number changes. Screen readers hear the line's
// own words as its name. The diagnosis is gathered on a thread of the line's own (it may read
// /proc) and shown on the main thread, which makes every call.
class HintLine : public QObject {
    Q_OBJECT
public:
    // label, source and texts must outlive the line; shownBoxes tells how many boxes the table
    // shows as found now.
    HintLine(QLabel* label, DeviceSource& source, const CaptionTexts& texts,
             std::function<std::size_t()> shownBoxes, QObject* parent = nullptr);
    // Waits for a diagnosis still being gathered.
    ~HintLine() override;

    // What is known before any answer could come (no network, no privilege for the broadcast
    // port): as the window opens, and when a network appears.
    void checkAtOpen();
    // When the search window has ended: every hint.
    void checkAfterSearch();
    // The table's boxes changed: the hints are worked out again for what it shows now.
    void boxesChanged();
    // A new search begins: the line goes, and so do the details and any check under way.
    void clear();
    // News of another part of the window, in words: shown before any hint, until the next
    // hint or clear.
    void tell(const QString& words);
    // Writes the line again, for captions that arrived after it was shown.
    void retranslate();

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
    void check(bool atOpen);
    void show(std::vector<SearchHint> hints, SearchDiagnosis diagnosis);
    // The label's text, visibility and names for screen readers, from what is to be said.
    void present();

    QLabel* label;
    DeviceSource& source;
    const CaptionTexts& texts;
    std::function<std::size_t()> shownBoxes;
    QThreadPool* gathering;
    // Each check's number; a result shows only if no clear or later check came after it.
    int generation = 0;
    int pending = 0;
    // Whether the latest check looked at what is known at open only.
    bool atOpenOnly = true;
    std::vector<SearchHint> shown;
    QString news;
    SearchDiagnosis diagnosis;
    QPointer<HintDetails> detailsDialog;
};
