#pragma once

#include <QString>

// One caption entry of a language file: the caption key, its text and its font. Every property
// stays a null QString until a "KEY" element sets it; an absent attribute sets it back to null.
class FontNode {
public:
    const QString& KeyString() const { return keyString; }
    const QString& String() const { return string; }
    const QString& Font() const { return font; }
    const QString& FontColor() const { return fontColor; }
    const QString& FontSize() const { return fontSize; }
    const QString& FontOffset() const { return fontOffset; }

    void setKeyString(const QString& value) { keyString = value; }
    void setString(const QString& value) { string = value; }
    void setFont(const QString& value) { font = value; }
    void setFontColor(const QString& value) { fontColor = value; }
    void setFontSize(const QString& value) { fontSize = value; }
    void setFontOffset(const QString& value) { fontOffset = value; }

private:
    QString keyString;
    QString string;
    QString font;
    QString fontColor;
    QString fontSize;
    QString fontOffset;
};
