#include "src/app/parseoperation.h"

#include <QXmlStreamReader>

#include "src/app/consolelog.h"

ParseOperation::ParseOperation(const QByteArray& data, QObject* parent)
    : QObject(parent), earthquakeData(data) {
    // The operation is kept for the life of the window, so the pool must not delete it.
    setAutoDelete(false);
}

const CaptionDictionary* ParseOperation::currentParseBatchDic() const {
    return dictionaryCreated.load(std::memory_order_acquire) ? &dictionary : nullptr;
}

void ParseOperation::run() {
    dictionary.clear();
    dictionaryCreated.store(true, std::memory_order_release);
    depth = 0;
    documentClosed = false;

    // Element names are compared as written, prefixes included.
    QXmlStreamReader reader(earthquakeData);
    reader.setNamespaceProcessing(false);
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
            case QXmlStreamReader::StartElement:
                ++depth;
                didStartElement(reader);
                break;
            case QXmlStreamReader::EndElement:
                --depth;
                didEndElement(reader);
                break;
            default:
                break;
        }
    }
    currentEarthquakeObject.reset();
    if (reader.hasError()) {
        const int code = static_cast<int>(reader.error());
        const QString message = QStringLiteral("line %1, column %2: %3")
                                    .arg(reader.lineNumber())
                                    .arg(reader.columnNumber())
                                    .arg(reader.errorString());
        QMetaObject::invokeMethod(
            this, [this, code, message] { handleEarthquakesError(code, message); },
            Qt::QueuedConnection);
    } else if (documentClosed) {
        // Announced last, once nothing here writes the dictionary any more: posting the event
        // orders every write above before the receiver's reads.
        QMetaObject::invokeMethod(
            this, [this] { emit AddEarthquakesNotif(); }, Qt::QueuedConnection);
    }
}

void ParseOperation::didStartElement(const QXmlStreamReader& reader) {
    const QStringView name = reader.qualifiedName();
    if (name == u"NODE") {
        currentEarthquakeObject = QSharedPointer<FontNode>::create();
    } else if (name == u"KEY") {
        ConsoleLog(QStringLiteral("KEY1=%1").arg(name));
        if (!currentEarthquakeObject) return;
        // An absent attribute reads as a null QString, which clears the property.
        const QXmlStreamAttributes attributes = reader.attributes();
        const auto read = [&attributes](QLatin1String attribute) {
            return attributes.hasAttribute(attribute) ? attributes.value(attribute).toString()
                                                      : QString();
        };
        FontNode& node = *currentEarthquakeObject;
        node.setKeyString(read(QLatin1String("KeyString")));
        node.setString(read(QLatin1String("String")));
        node.setFont(read(QLatin1String("Font")));
        node.setFontColor(read(QLatin1String("Color")));
        node.setFontSize(read(QLatin1String("Size")));
        node.setFontOffset(read(QLatin1String("Offset")));
    }
}

void ParseOperation::didEndElement(const QXmlStreamReader& reader) {
    const QStringView name = reader.qualifiedName();
    if (name == u"NODE") {
        // An entry without a key has nowhere to go in the dictionary: the node is skipped.
        if (currentEarthquakeObject && !currentEarthquakeObject->KeyString().isNull()) {
            dictionary.insert(currentEarthquakeObject->KeyString(), currentEarthquakeObject);
        }
    } else if (name == u"LanguageCFG" && depth == 0) {
        // Only the document element completes the file; one nested deeper is just an element.
        documentClosed = true;
    }
}

void ParseOperation::handleEarthquakesError(int code, const QString& message) {
    ConsoleLog(QStringLiteral("language file: %1").arg(message));
    emit EarthquakeErrorNotif(code, message);
}
