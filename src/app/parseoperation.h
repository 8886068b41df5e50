#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QRunnable>
#include <QSharedPointer>
#include <QString>

#include <atomic>

#include "src/app/fontnode.h"

class QXmlStreamReader;

// Caption dictionary of a language file: caption key to entry. Entries are shared because a
// "KEY" that follows a stored "NODE" still fills that node's entry.
using CaptionDictionary = QHash<QString, QSharedPointer<FontNode>>;

// Reads one language file into a CaptionDictionary on a thread pool thread. Lives on the main
// thread; both signals are emitted there, so their receivers may touch widgets.
class ParseOperation : public QObject, public QRunnable {
    Q_OBJECT
public:
    // Keeps a copy of the file's bytes; nothing is parsed until run().
    explicit ParseOperation(const QByteArray& data, QObject* parent = nullptr);

    // The parse itself (the operation's main).
    void run() override;

    // Null until run() has started. The parse thread fills it: read it only after
    // AddEarthquakesNotif has arrived or the pool has finished the operation.
    const CaptionDictionary* currentParseBatchDic() const;

signals:
    // The whole file was read without error and its document element is "LanguageCFG": the
    // dictionary is complete and the parse thread no longer touches it.
    void AddEarthquakesNotif();
    // The XML could not be read to its end; code is the reader's error kind.
    void EarthquakeErrorNotif(int code, const QString& message);

private:
    void handleEarthquakesError(int code, const QString& message);
    void didStartElement(const QXmlStreamReader& reader);
    void didEndElement(const QXmlStreamReader& reader);

    const QByteArray earthquakeData;
    QSharedPointer<FontNode> currentEarthquakeObject;
    CaptionDictionary dictionary;
    std::atomic<bool> dictionaryCreated{false};
    // Elements open around the reader's position, and whether the document element was a
    // "LanguageCFG" that has closed; both belong to the parse thread.
    int depth = 0;
    bool documentClosed = false;
};
