#pragma once

#include <QString>

#include "search/searchhints.h"

class CaptionTexts;

// A hint's words in the user's language: the language file's text for the hint's code (and
// variant), else the library's English, with the hint's facts filled in. Main thread, like
// the captions it reads.
class HintTexts {
public:
    static QString Summary(const SearchHint& hint, const CaptionTexts& texts);
    static QString Text(const SearchHint& hint, const CaptionTexts& texts);
};
