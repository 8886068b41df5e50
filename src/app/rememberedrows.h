#pragma once

#include <QObject>

#include <optional>
#include <vector>

#include "search/deviceinfo.h"
#include "src/store/knownboxes.h"

class CaptionTexts;
class DeviceSource;
class DeviceTableModel;
class QLabel;

// The book of known boxes in the window. When a search window ends it records the boxes found
// and lists the remembered boxes that did not answer below them (greyed, with when they were
// last seen); it records again at exit, and forgets a box on request. What the user must hear
// about the book (set aside, not used, full) is told in the hint line and on standard error.
// Does nothing with --no-remember.
// Main thread.
class RememberedRows : public QObject {
    Q_OBJECT
public:
    // Everything given must outlive the rows.
    RememberedRows(DeviceSource& source, DeviceTableModel* rows, QLabel* hintLabel,
                   const CaptionTexts& texts, bool enabled, QObject* parent = nullptr);

    // The search window has ended: records the source's list, then adds the rows.
    void searchEnded();
    // Records the source's list, as the window closes.
    void recordAtExit();

    // The remembered box shown at row; none for a box found by the search.
    std::optional<KnownBox> boxAt(int row) const;
    // Removes the remembered box at row from the book and from the table.
    void forget(int row);
    // A remembered box answered: its row shows what it answered, as a found box's row does.
    void turnFound(const KnownBox& box, const deviceinfo& answered);

private:
    // Records the source's list, each box as last heard.
    void record();
    void tell();

    DeviceSource& source;
    DeviceTableModel* rows;
    QLabel* hintLabel;
    const CaptionTexts& texts;
    bool enabled;
    CKnownBoxesFile file;
};
