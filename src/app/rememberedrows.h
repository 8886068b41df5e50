#pragma once

#include <QObject>

#include <optional>
#include <vector>

#include "search/deviceinfo.h"
#include "src/store/knownboxes.h"

class CaptionTexts;
class DeviceTableModel;
class HintLine;
class SearchSession;

// The book of known boxes in the window's table. When a search window ends it has the boxes
// found recorded and, once the book has been read back, lists the remembered boxes that did not
// answer below them (greyed, with when they were last seen); it forgets a box on request. What
// the book's keeper must tell (a book set aside) goes to the hint line. Nothing is listed with
// --no-remember. Main thread.
class RememberedRows : public QObject {
    Q_OBJECT
public:
    // Everything given must outlive the rows.
    RememberedRows(SearchSession& session, DeviceTableModel* rows, HintLine& hintLine,
                   const CaptionTexts& texts, QObject* parent = nullptr);

    // The search window has ended: records the source's list, then adds the rows.
    void searchEnded();
    // A new search window began: rows still to come from the last one are not added.
    void searchStarted();
    // Lists the book's boxes that are not in the device list, below the boxes found, now.
    void relist();

    // The remembered box shown at row; none for a box found by the search.
    std::optional<KnownBox> boxAt(int row) const;
    // Removes the remembered box at row from the book and from the table.
    void forget(int row);
    // A remembered box answered: its row shows what it answered, as a found box's row does.
    void turnFound(const KnownBox& box, const deviceinfo& answered);

private:
    SearchSession& session;
    DeviceTableModel* rows;
    HintLine& hintLine;
    const CaptionTexts& texts;
    // A search window ended and its rows wait for the book to come back.
    bool listing = false;
};
