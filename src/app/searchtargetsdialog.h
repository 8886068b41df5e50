#pragma once

#include <QDialog>
#include <QStringList>

class CaptionTexts;
class QLabel;
class QPlainTextEdit;
class SearchTargetList;

// Edits the kept search targets: one address, range or host name per line. Beside the lines it
// says which kept ones were refused, or do not resolve, and which names are still being looked
// up, as the list learns it. Save reads every line with the search library's parser (a name is
// resolved afterwards, in the background) and lists the refused ones with their reasons; when
// all are taken it hands them on and closes. Modal over the window; deletes itself when closed.
// Main thread.
class SearchTargetsDialog : public QDialog {
    Q_OBJECT
public:
    // targets must outlive the dialog.
    SearchTargetsDialog(const SearchTargetList& targets, const CaptionTexts& texts,
                        QWidget* parent);

    // The lines that hold a target, without the blanks around them.
    QStringList targets() const;

signals:
    // Every line was taken: targets are what to keep.
    void saved(const QStringList& targets);

private:
    void save();
    // What became of the kept lines, while the text is as it was kept.
    void showKeptStates();

    const SearchTargetList& list;
    const CaptionTexts& texts;
    QPlainTextEdit* edit;
    QLabel* problems;
};
