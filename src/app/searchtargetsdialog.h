#pragma once

#include <QDialog>
#include <QStringList>

class CaptionTexts;
class QLabel;
class QPlainTextEdit;

// Edits the kept search targets: one address, range or host name per line. Save checks every
// line with the search library's parser and lists the refused ones beside the lines, each with
// its reason; when all are taken it hands them on and closes. Modal over the window; deletes
// itself when closed. Main thread.
class SearchTargetsDialog : public QDialog {
    Q_OBJECT
public:
    SearchTargetsDialog(const QStringList& targets, const CaptionTexts& texts, QWidget* parent);

    // The lines that hold a target, without the blanks around them.
    QStringList targets() const;

signals:
    // Every line was taken: targets are what to keep.
    void saved(const QStringList& targets);

private:
    void save();

    const CaptionTexts& texts;
    QPlainTextEdit* edit;
    QLabel* problems;
};
