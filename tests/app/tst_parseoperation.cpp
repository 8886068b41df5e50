#include <QCoreApplication>
#include <QSignalSpy>
#include <QThreadPool>
#include <QXmlStreamReader>
#include <QtTest>

#include "src/app/parseoperation.h"
#include "tests/app/stderrcapture.h"

namespace {

struct ParseResult {
    CaptionDictionary dictionary;
    int completions = 0;
    int errors = 0;
    int errorCode = -1;
    int keyLines = 0;
};

// Runs the operation the way the window does, on a pool thread, and collects what it announced
// on this (the main) thread.
ParseResult Parse(const QByteArray& xml) {
    ParseOperation operation(xml);
    QSignalSpy done(&operation, &ParseOperation::AddEarthquakesNotif);
    QSignalSpy failed(&operation, &ParseOperation::EarthquakeErrorNotif);
    ParseResult result;
    {
        StderrCapture console;
        QThreadPool pool;
        pool.start(&operation);
        pool.waitForDone();
        QCoreApplication::sendPostedEvents(&operation);
        result.keyLines = console.lines().count(QStringLiteral("KEY1=KEY"));
    }
    result.dictionary = *operation.currentParseBatchDic();
    result.completions = static_cast<int>(done.count());
    result.errors = static_cast<int>(failed.count());
    if (!failed.isEmpty()) result.errorCode = failed.first().at(0).toInt();
    return result;
}

QByteArray Node(const char* key, const char* text) {
    return QByteArray("<NODE><KEY KeyString=\"") + key + "\" String=\"" + text +
           "\" Font=\"DejaVu Sans\" Color=\"#000000\" Size=\"11\" Offset=\"0\"/></NODE>";
}

QStringList SortedKeys(const CaptionDictionary& dictionary) {
    QStringList keys = dictionary.keys();
    keys.sort();
    return keys;
}

}  // namespace

class ParseOperationTest : public QObject {
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void laterNodeWithTheSameKeyWins();
    void attributesAreReadByExactName();
    void keyBetweenNodesFillsTheStoredEntry();
    void dictionaryIsNullBeforeTheParse();
};

void ParseOperationTest::parse_data() {
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<int>("completions");
    QTest::addColumn<int>("errorCode");
    QTest::addColumn<int>("keyLines");

    const int none = -1;
    const int notWellFormed = QXmlStreamReader::NotWellFormedError;
    const int prematureEnd = QXmlStreamReader::PrematureEndOfDocumentError;
    QByteArray eight = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<LanguageCFG>";
    QStringList eightKeys{"List1",   "List2",      "List3",       "Log In",
                          "Refresh", "My storage", "Device List", "Search Time"};
    for (const QString& key : eightKeys) eight += Node(key.toUtf8().constData(), "x");
    eight += "</LanguageCFG>";
    eightKeys.sort();

    QTest::newRow("eight nodes") << eight << eightKeys << 1 << none << 8;
    QTest::newRow("repeated key") << "<LanguageCFG>" + Node("A", "first") + Node("A", "second") +
                                         "</LanguageCFG>"
                                  << QStringList{"A"} << 1 << none << 2;
    QTest::newRow("KEY before any NODE") << "<LanguageCFG><KEY KeyString=\"Stray\" String=\"x\"/>" +
                                                Node("A", "a") + "</LanguageCFG>"
                                         << QStringList{"A"} << 1 << none << 2;
    QTest::newRow("other document element")
        << "<Captions>" + Node("A", "a") + "</Captions>" << QStringList{"A"} << 0 << none << 1;
    QTest::newRow("node without KeyString skipped")
        << QByteArray("<LanguageCFG><NODE><KEY String=\"x\"/></NODE><NODE></NODE>") +
               Node("B", "b") + "</LanguageCFG>"
        << QStringList{"B"} << 1 << none << 2;
    QTest::newRow("names compared with case")
        << QByteArray("<languagecfg><node><key KeyString=\"A\"/></node></languagecfg>")
        << QStringList{} << 0 << none << 0;
    QTest::newRow("prefixed names are other names")
        << QByteArray(
               "<x:LanguageCFG xmlns:x=\"urn:x\"><x:NODE><x:KEY KeyString=\"A\"/>"
               "</x:NODE></x:LanguageCFG>")
        << QStringList{} << 0 << none << 0;
    QTest::newRow("text and other elements ignored")
        << "<LanguageCFG>text<Other a=\"1\"/>" + Node("A", "a") + "<!-- c --></LanguageCFG>"
        << QStringList{"A"} << 1 << none << 1;
    QTest::newRow("truncated file keeps earlier entries")
        << "<LanguageCFG>" + Node("A", "a") + "<NODE>" << QStringList{"A"} << 0 << prematureEnd
        << 1;
    QTest::newRow("mismatched tag")
        << QByteArray("<LanguageCFG><NODE><KEY KeyString=\"A\"/></NOD></LanguageCFG>")
        << QStringList{} << 0 << notWellFormed << 1;
    QTest::newRow("junk after the document element")
        << "<LanguageCFG>" + Node("A", "a") + "</LanguageCFG><LanguageCFG/>" << QStringList{"A"}
        << 0 << notWellFormed << 1;
    // Only the document element's end completes the file, and only after the last entry.
    QTest::newRow("nested LanguageCFG before the entries")
        << "<LanguageCFG><LanguageCFG/>" + Node("A", "a") + Node("B", "b") + "</LanguageCFG>"
        << QStringList{"A", "B"} << 1 << none << 2;
    QTest::newRow("nested LanguageCFG after the entries")
        << "<LanguageCFG>" + Node("A", "a") + "<LanguageCFG></LanguageCFG></LanguageCFG>"
        << QStringList{"A"} << 1 << none << 1;
    QTest::newRow("LanguageCFG inside another document element")
        << "<Captions><LanguageCFG/>" + Node("A", "a") + "</Captions>" << QStringList{"A"} << 0
        << none << 1;
    QTest::newRow("truncated after a nested LanguageCFG")
        << "<LanguageCFG><LanguageCFG/>" + Node("A", "a") << QStringList{"A"} << 0 << prematureEnd
        << 1;
    QTest::newRow("no entries") << QByteArray("<LanguageCFG/>") << QStringList{} << 1 << none << 0;
    QTest::newRow("empty file") << QByteArray() << QStringList{} << 0 << prematureEnd << 0;
}

void ParseOperationTest::parse() {
    QFETCH(QByteArray, xml);
    QFETCH(QStringList, keys);
    QFETCH(int, completions);
    QFETCH(int, errorCode);
    QFETCH(int, keyLines);

    const ParseResult result = Parse(xml);
    QCOMPARE(SortedKeys(result.dictionary), keys);
    QCOMPARE(result.completions, completions);
    QCOMPARE(result.errors, errorCode < 0 ? 0 : 1);
    QCOMPARE(result.errorCode, errorCode);
    QCOMPARE(result.keyLines, keyLines);
}

void ParseOperationTest::laterNodeWithTheSameKeyWins() {
    const ParseResult result =
        Parse("<LanguageCFG>" + Node("A", "first") + Node("A", "second") + "</LanguageCFG>");
    QCOMPARE(result.dictionary.value("A")->String(), QStringLiteral("second"));
}

void ParseOperationTest::attributesAreReadByExactName() {
    // color and size in lower case are other attributes; the second KEY of a node replaces
    // every property, so Font set by the first one is cleared again.
    const ParseResult result = Parse(
        "<LanguageCFG><NODE><KEY KeyString=\"A\" Font=\"DejaVu Sans\"/>"
        "<KEY KeyString=\"A\" String=\"\" color=\"#fff\" size=\"9\" Size=\"12.5\"/>"
        "</NODE></LanguageCFG>");
    const FontNode& entry = *result.dictionary.value("A");
    QVERIFY(entry.Font().isNull());
    QVERIFY(entry.FontColor().isNull());
    QVERIFY(entry.FontOffset().isNull());
    QVERIFY(!entry.String().isNull());
    QVERIFY(entry.String().isEmpty());
    QCOMPARE(entry.FontSize(), QStringLiteral("12.5"));
}

void ParseOperationTest::keyBetweenNodesFillsTheStoredEntry() {
    const ParseResult result = Parse("<LanguageCFG>" + Node("A", "one") +
                                     "<KEY KeyString=\"Z\" String=\"two\"/></LanguageCFG>");
    QCOMPARE(SortedKeys(result.dictionary), QStringList{"A"});
    QCOMPARE(result.dictionary.value("A")->String(), QStringLiteral("two"));
    QCOMPARE(result.dictionary.value("A")->KeyString(), QStringLiteral("Z"));
}

void ParseOperationTest::dictionaryIsNullBeforeTheParse() {
    ParseOperation operation("<LanguageCFG/>");
    QCOMPARE(operation.currentParseBatchDic(), nullptr);
}

QTEST_GUILESS_MAIN(ParseOperationTest)
#include "tst_parseoperation.moc"
