#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QtTest>

#include <cstdio>
#include <cstring>

#include "search/searchhints.h"
#include "src/app/captionfont.h"
#include "src/app/captiontexts.h"
#include "src/app/languagefile.h"
#include "src/app/launchoptions.h"
#include "src/app/parseoperation.h"

namespace {

constexpr const char* kLaunchOptionsChild = "--launch-options-child";

const QStringList kCaptionKeys{"List1",   "List2",      "List3",       "Log In",
                               "Refresh", "My storage", "Device List", "Search Time"};

// The shipped file for a language, parsed as the window parses it.
CaptionDictionary ParseShipped(const QString& code, int* completions) {
    const QString path = PathForResource({QStringLiteral(NASFINDER_SOURCE_RESOURCES)},
                                         LanguageResourceName(code), QStringLiteral("xml"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    ParseOperation operation(file.readAll());
    QSignalSpy done(&operation, &ParseOperation::AddEarthquakesNotif);
    QThreadPool pool;
    pool.start(&operation);
    pool.waitForDone();
    QCoreApplication::sendPostedEvents(&operation);
    *completions = static_cast<int>(done.count());
    return *operation.currentParseBatchDic();
}

// The hints' texts and summaries by the keys the window looks them up by, in the English the
// search library writes them in.
QHash<QString, QString> EnglishHintTexts() {
    QHash<QString, QString> texts;
    for (const SearchHintWording& wording : SearchHintWordings()) {
        const QString key = QString::fromUtf8(wording.key);
        texts.insert(QStringLiteral("Hint ") + key, QString::fromUtf8(wording.text));
        texts.insert(QStringLiteral("Hint %1 Summary").arg(key.section(QLatin1Char(' '), 0, 0)),
                     QString::fromUtf8(wording.summary));
    }
    return texts;
}

}  // namespace

class LanguageFilesTest : public QObject {
    Q_OBJECT
private slots:
    void languageChoice_data();
    void languageChoice();
    void languageFromTheDesktopOrTheArgument_data();
    void languageFromTheDesktopOrTheArgument();
    void pathForResourceTakesTheFirstDirectoryHoldingTheFile();
    void shippedFiles_data();
    void shippedFiles();
    void captionText_data();
    void captionText();
    void readFontSize_data();
    void readFontSize();
    void captionFontKeepsWhatTheEntryLeavesOut();
};

void LanguageFilesTest::languageChoice_data() {
    QTest::addColumn<QString>("preferred");
    QTest::addColumn<QString>("resource");
    const QStringList own{"pt", "de", "fr", "ru", "es", "it", "pl"};
    for (const QString& code : own) {
        QTest::newRow(qPrintable(code)) << code << "XML_" + code;
    }
    // The language part decides, whatever region, script, encoding or modifier follows it.
    const char* const rows[][2] = {
        {"de-DE", "XML_de"},      {"de_DE.UTF-8", "XML_de"}, {"de-AT", "XML_de"},
        {"de_DE@euro", "XML_de"}, {"pt-BR", "XML_pt"},       {"pt_PT.UTF-8", "XML_pt"},
        {"ru-Cyrl-RU", "XML_ru"}, {"de-", "XML_de"},         {"en", "XML_en"},
        {"en-US", "XML_en"},      {"zh-Hans", "XML_en"},     {"ja_JP.UTF-8", "XML_en"},
        {"C", "XML_en"},          {"deu", "XML_en"},         {"d", "XML_en"},
        {"-de", "XML_en"},        {"DE", "XML_en"},          {"", "XML_en"},
    };
    for (const auto& [preferred, resource] : rows) {
        QTest::newRow(*preferred ? preferred : "empty") << QString(preferred) << QString(resource);
    }
}

void LanguageFilesTest::languageChoice() {
    QFETCH(QString, preferred);
    QFETCH(QString, resource);
    QCOMPARE(LanguageResourceName(preferred), resource);
}

void LanguageFilesTest::languageFromTheDesktopOrTheArgument_data() {
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("current");  // element 0, as the console line shows it
    QTest::addColumn<QString>("resource");

    QTest::newRow("LANG with region and encoding")
        << QStringList{"LANG=de_DE.UTF-8"} << QStringList{} << "de-DE"
        << "XML_de";
    QTest::newRow("LANGUAGE before LANG")
        << QStringList{"LANGUAGE=pt_BR:en", "LANG=de_DE.UTF-8"} << QStringList{} << "pt-BR"
        << "XML_pt";
    QTest::newRow("--language over the desktop")
        << QStringList{"LANGUAGE=pt_BR", "LANG=de_DE.UTF-8"} << QStringList{"--language", "ru"}
        << "ru"
        << "XML_ru";
}

// The child reads its options as nasfinder does, in an environment of the row's making: the
// desktop's language list is read once per process, so each row needs a process of its own.
void LanguageFilesTest::languageFromTheDesktopOrTheArgument() {
    QFETCH(QStringList, environment);
    QFETCH(QStringList, arguments);
    QFETCH(QString, current);
    QFETCH(QString, resource);

    QProcessEnvironment childEnvironment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        childEnvironment.remove(name);
    }
    for (const QString& setting : environment) {
        childEnvironment.insert(setting.section('=', 0, 0), setting.section('=', 1));
    }
    QProcess child;
    child.setProcessEnvironment(childEnvironment);
    child.start(QCoreApplication::applicationFilePath(),
                QStringList{kLaunchOptionsChild} + arguments);
    QVERIFY(child.waitForFinished(10000));
    QCOMPARE(child.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(child.readAllStandardOutput()).trimmed(), current + ' ' + resource);

    // The build tree's program finds its files beside itself first.
    QCOMPARE(ParseLaunchOptions({"nasfinder"}).resourceDirs.value(0),
             QCoreApplication::applicationDirPath());
}

void LanguageFilesTest::pathForResourceTakesTheFirstDirectoryHoldingTheFile() {
    QTemporaryDir empty;
    QTemporaryDir holding;
    QTemporaryDir alsoHolding;
    QVERIFY(QDir(empty.path()).mkdir("XML_de.xml"));  // a directory is not the file
    for (const QTemporaryDir* dir : {&holding, &alsoHolding}) {
        QFile file(dir->filePath("XML_de.xml"));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    const QStringList dirs{empty.path(), holding.path(), alsoHolding.path()};
    QCOMPARE(PathForResource(dirs, "XML_de", "xml"),
             QFileInfo(holding.filePath("XML_de.xml")).absoluteFilePath());
    QVERIFY(PathForResource(dirs, "XML_fr", "xml").isNull());
    QVERIFY(PathForResource({}, "XML_de", "xml").isNull());
}

void LanguageFilesTest::shippedFiles_data() {
    QTest::addColumn<QString>("code");
    for (const char* code : {"en", "de", "fr", "es", "it", "pl", "pt", "ru"}) {
        QTest::newRow(code) << QString(code);
    }
}

void LanguageFilesTest::shippedFiles() {
    QFETCH(QString, code);
    int completions = 0;
    const CaptionDictionary captions = ParseShipped(code, &completions);
    QCOMPARE(completions, 1);
    QStringList keys = captions.keys();
    keys.sort();
    QStringList expected = kCaptionKeys + CaptionTexts::keys() + EnglishHintTexts().keys();
    expected.sort();
    QCOMPARE(keys, expected);

    int englishCompletions = 0;
    const CaptionDictionary english = ParseShipped("en", &englishCompletions);
    for (const QString& key : kCaptionKeys) {
        const FontNode& entry = *captions.value(key);
        QVERIFY2(!entry.String().trimmed().isEmpty(), qPrintable(key));
        if (code != "en") {
            QVERIFY2(entry.String() != english.value(key)->String(),
                     qPrintable(key + " is not translated"));
        }
        const double size = ReadFontSize(entry.FontSize());
        QVERIFY2(size >= 8 && size <= 20, qPrintable(key));
        // The named font must exist on a Linux desktop and draw every character of the text.
        QVERIFY2(QFontDatabase::hasFamily(entry.Font()), qPrintable(entry.Font()));
        QFont font(entry.Font());
        font.setPointSizeF(size);
        const QFontMetrics metrics(font);
        for (const uint character : entry.String().toUcs4()) {
            QVERIFY2(metrics.inFontUcs4(character),
                     qPrintable(QStringLiteral("%1: U+%2").arg(key).arg(character, 4, 16)));
        }
    }

    // The texts: translated, with the English placeholders; the English file says what the
    // program says before the parse completes.
    static const QRegularExpression kPlaceholder(QStringLiteral("\\{[a-z]+\\}"));
    const auto placeholders = [](const QString& text) {
        QStringList found;
        for (const QRegularExpressionMatch& match : kPlaceholder.globalMatch(text)) {
            found << match.captured();
        }
        found.sort();
        return found;
    };
    // Every text with its English: the window's own, compiled in, and the search's hints.
    QHash<QString, QString> englishTexts = EnglishHintTexts();
    for (const QString& key : CaptionTexts::keys()) {
        englishTexts.insert(key, CaptionTexts().text(qPrintable(key)));
    }
    CaptionTexts texts;
    texts.setDictionary(&captions);
    for (auto text = englishTexts.cbegin(); text != englishTexts.cend(); ++text) {
        const QString& builtIn = text.value();
        const QString shipped = texts.text(text.key(), QString());
        QVERIFY2(!shipped.trimmed().isEmpty(), qPrintable(text.key()));
        QCOMPARE(placeholders(shipped), placeholders(builtIn));
        if (code == "en") {
            QCOMPARE(shipped, builtIn);
        } else {
            QVERIFY2(shipped != builtIn, qPrintable(text.key() + " is not translated"));
        }
    }
}

void LanguageFilesTest::captionText_data() {
    QTest::addColumn<CaptionTexts::Values>("file");  // null: no completed parse
    QTest::addColumn<QString>("key");
    QTest::addColumn<CaptionTexts::Values>("values");
    QTest::addColumn<QString>("text");

    const CaptionTexts::Values none;
    const CaptionTexts::Values address{{"address", "smb://nas"}};
    QTest::newRow("English before the parse")
        << none << "Open Failed" << address << "Could not open smb://nas";
    QTest::newRow("the file's entry") << CaptionTexts::Values{{"Open Failed", "{address}: Fehler"}}
                                      << "Open Failed" << address << "smb://nas: Fehler";
    QTest::newRow("key missing from the file")
        << CaptionTexts::Values{{"Close", "Zu"}} << "Open Failed" << address
        << "Could not open smb://nas";
    QTest::newRow("entry without a String")
        << CaptionTexts::Values{{"Close", QString()}} << "Close" << none << "Close";
    QTest::newRow("a value's braces stay")
        << CaptionTexts::Values{{"Close", "{address} {scheme} {address}"}} << "Close"
        << CaptionTexts::Values{{"address", "{scheme}"}, {"scheme", "smb"}}
        << "{scheme} smb {scheme}";
    QTest::newRow("placeholder without a value stays")
        << none << "Countdown" << address << "Seconds left in the search: {seconds}";
    QTest::newRow("unclosed brace") << CaptionTexts::Values{{"Close", "a {b"}} << "Close"
                                    << CaptionTexts::Values{{"b", "x"}} << "a {b";
}

void LanguageFilesTest::captionText() {
    QFETCH(CaptionTexts::Values, file);
    QFETCH(QString, key);
    QFETCH(CaptionTexts::Values, values);
    QFETCH(QString, text);

    CaptionDictionary dictionary;
    for (auto entry = file.cbegin(); entry != file.cend(); ++entry) {
        auto node = QSharedPointer<FontNode>::create();
        node->setKeyString(entry.key());
        node->setString(entry.value());
        dictionary.insert(entry.key(), node);
    }
    CaptionTexts texts;
    if (!file.isEmpty()) texts.setDictionary(&dictionary);
    QCOMPARE(texts.text(qPrintable(key), values), text);
}

void LanguageFilesTest::readFontSize_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("size");
    QTest::newRow("integer") << "11" << 11.0;
    QTest::newRow("decimal") << "12.5" << 12.5;
    QTest::newRow("leading blanks") << "  9" << 9.0;
    QTest::newRow("trailing text") << "14pt" << 14.0;
    QTest::newRow("leading point") << ".5" << 0.5;
    QTest::newRow("exponent") << "1e1" << 10.0;
    QTest::newRow("negative") << "-3" << -3.0;
    QTest::newRow("comma stops") << "12,5" << 12.0;
    QTest::newRow("word") << "large" << 0.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("null") << QString() << 0.0;
}

void LanguageFilesTest::readFontSize() {
    QFETCH(QString, text);
    QFETCH(double, size);
    QCOMPARE(ReadFontSize(text), size);
}

void LanguageFilesTest::captionFontKeepsWhatTheEntryLeavesOut() {
    QFont current(QStringLiteral("DejaVu Serif"));
    current.setPointSizeF(10);

    FontNode full;
    full.setFont(QStringLiteral("DejaVu Sans"));
    full.setFontSize(QStringLiteral("14"));
    QCOMPARE(CaptionFont(full, current).family(), QStringLiteral("DejaVu Sans"));
    QCOMPARE(CaptionFont(full, current).pointSizeF(), 14.0);

    FontNode bare;
    bare.setFontSize(QStringLiteral("big"));
    QCOMPARE(CaptionFont(bare, current).family(), QStringLiteral("DejaVu Serif"));
    QCOMPARE(CaptionFont(bare, current).pointSizeF(), 10.0);
}

// Prints element 0 of the preferred languages and the file it picks, for the arguments given.
int RunLaunchOptionsChild(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const LaunchOptions options =
        ParseLaunchOptions(QStringList{"nasfinder"} + QCoreApplication::arguments().mid(2));
    const QString current = options.appleLanguages.value(0);
    std::printf("%s %s\n", qPrintable(current), qPrintable(LanguageResourceName(current)));
    return 0;
}

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], kLaunchOptionsChild) == 0) {
        return RunLaunchOptionsChild(argc, argv);
    }
    QApplication application(argc, argv);
    LanguageFilesTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_languagefiles.moc"
