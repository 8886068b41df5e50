#include "src/app/hinttexts.h"

#include "src/app/captiontexts.h"

namespace {

CaptionTexts::Values Values(const SearchHint& hint) {
    CaptionTexts::Values values;
    for (const SearchHintFact& fact : hint.facts) {
        values.insert(QString::fromStdString(fact.name), QString::fromStdString(fact.value));
    }
    return values;
}

}  // namespace

QString HintTexts::Summary(const SearchHint& hint, const CaptionTexts& texts) {
    return texts.text(QStringLiteral("Hint %1 Summary").arg(QString::fromStdString(hint.code)),
                      QString::fromStdString(hint.summaryPattern), Values(hint));
}

QString HintTexts::Text(const SearchHint& hint, const CaptionTexts& texts) {
    return texts.text(QStringLiteral("Hint %1").arg(QString::fromStdString(hint.WordingKey())),
                      QString::fromStdString(hint.textPattern), Values(hint));
}
