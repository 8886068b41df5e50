#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <vector>

#include "src/store/devicesighting.h"
#include "src/store/knownboxes.h"

class QThreadPool;

// The book of known boxes for the window and the tray. Every read, merge and write (the lock,
// the fsync, the rename) runs on a thread of the keeper's own, one after the other in the order
// asked, so that the main thread never waits on the disk; each ends with the book read back,
// handed to the main thread as bookChanged. With remembering off (--no-remember) nothing is read
// or written and the book stays empty. Made and called on the main thread.
class BookKeeper : public QObject {
    Q_OBJECT
public:
    explicit BookKeeper(bool enabled, QObject* parent = nullptr);
    // Waits for the work asked for.
    ~BookKeeper() override;

    bool enabled() const { return remember; }
    // The book as last read; empty until the first read has come back.
    const std::vector<KnownBox>& boxes() const { return book; }

    // Reads the book.
    void reload();
    // Merges the devices heard into the book, each as last heard.
    void record(std::vector<DeviceSighting> heard);
    // Takes the box out of the book (by id and address).
    void forget(const KnownBox& box);
    // Marks box (by id and address) to be woken when the computer starts or wakes up, or not.
    void setWakeWithComputer(const KnownBox& box, bool wake);
    // Any change of the book's entries, applied under its lock.
    void change(std::function<void(std::vector<KnownBox>&)> edit);
    // Returns once everything asked for has been done and told: at exit, where nothing else
    // is left to wait for.
    void finish();

signals:
    // boxes() holds the book as just read.
    void bookChanged();
    // What the user must hear about the book, in words: a book set aside, a write that failed.
    void notice(const QString& text);

private:
    // Runs work on the keeper's thread with the book's file, then reads the book back.
    void run(std::function<void(CKnownBoxesFile&)> work);

    bool remember;
    CKnownBoxesFile file;
    QThreadPool* thread;
    std::vector<KnownBox> book;
};
