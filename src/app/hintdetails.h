#pragma once

#include <QDialog>
#include <QString>

#include <string>
#include <vector>

#include "search/searchhints.h"

class CaptionTexts;

// The whole story behind the hint line: every hint in full and each search worker's state, as
// text to select or copy (a person hands it on when asking for help). Not modal; deletes itself
// when closed. Main thread.
class HintDetails : public QDialog {
    Q_OBJECT
public:
    HintDetails(const std::vector<SearchHint>& hints,
                const std::vector<SearchWorkerHealth>& workers,
                const std::vector<std::string>& unmatchedPatterns, const CaptionTexts& texts,
                QWidget* parent);

    // The dialog's text: each hint's summary and text in the user's language, the interface
    // patterns that match nothing, then one line per worker (technical, in English, as it is
    // meant to be handed on).
    static QString Text(const std::vector<SearchHint>& hints,
                        const std::vector<SearchWorkerHealth>& workers,
                        const std::vector<std::string>& unmatchedPatterns,
                        const CaptionTexts& texts);
};
