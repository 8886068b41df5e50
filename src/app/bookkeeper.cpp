#include "src/app/bookkeeper.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>

#include <algorithm>
#include <utility>

BookKeeper::BookKeeper(bool enabled, QObject* parent)
    : QObject(parent),
      remember(enabled),
      file(CKnownBoxesFile::DefaultPath()),
      thread(new QThreadPool(this)) {
    // One thread: the work runs in the order it was asked for.
    thread->setMaxThreadCount(1);
}

BookKeeper::~BookKeeper() {
    thread->waitForDone();
}

void BookKeeper::reload() {
    run([](CKnownBoxesFile&) {});
}

void BookKeeper::record(std::vector<DeviceSighting> heard) {
    if (heard.empty()) return;
    // Where each box sits is read from the kernel here too, off the main thread.
    run([heard = std::move(heard)](CKnownBoxesFile& book) { book.Remember(SeenBoxes(heard)); });
}

void BookKeeper::forget(const KnownBox& box) {
    change([box](std::vector<KnownBox>& entries) {
        entries.erase(std::remove_if(entries.begin(), entries.end(),
                                     [&box](const KnownBox& entry) {
                                         return entry.id == box.id && entry.ip == box.ip;
                                     }),
                      entries.end());
    });
}

void BookKeeper::setWakeWithComputer(const KnownBox& box, bool wake) {
    change([box, wake](std::vector<KnownBox>& entries) {
        for (KnownBox& entry : entries) {
            if (entry.id == box.id && entry.ip == box.ip) entry.wakeWithComputer = wake;
        }
    });
}

void BookKeeper::change(std::function<void(std::vector<KnownBox>&)> edit) {
    run([edit = std::move(edit)](CKnownBoxesFile& book) { book.Update(edit); });
}

void BookKeeper::finish() {
    thread->waitForDone();
    // The answers are queued for the main thread, which is this one.
    QCoreApplication::sendPostedEvents(this);
}

void BookKeeper::run(std::function<void(CKnownBoxesFile&)> work) {
    if (!remember) return;
    QPointer<BookKeeper> keeper(this);
    CKnownBoxesFile* book = &file;
    thread->start([keeper, book, work = std::move(work)] {
        work(*book);
        std::string told = book->Notice();
        std::vector<KnownBox> read;
        book->Read(read);
        if (told.empty()) told = book->Notice();
        // Posted to the keeper, so that finish() can take it at once.
        QMetaObject::invokeMethod(
            keeper.data(),
            [keeper, read = std::move(read), told = std::move(told)]() mutable {
                if (!keeper) return;
                keeper->book = std::move(read);
                if (!told.empty()) emit keeper->notice(QString::fromStdString(told));
                emit keeper->bookChanged();
            },
            Qt::QueuedConnection);
    });
}
