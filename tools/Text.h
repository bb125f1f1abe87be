#pragma once

#include <QString>

// Stored texts as they may be shown to a terminal or put into markup. A file
// may hold anything in a name: these keep it from acting on what shows it.

// The text with every character that would act on a terminal instead of being
// shown written visibly: ESC as \e, line breaks and tabs as \n, \r, \t, other
// controls as \xHH (below U+0080) or \uHHHH (C1 controls, line and paragraph
// separators, direction overrides, and the two non-characters XML refuses).
// Ordinary text, backslashes included, comes back unchanged.
QString Visible(const QString& text);

// The columns a terminal gives the text: two for wide (East Asian) characters,
// none for combining marks and other zero-width characters, one otherwise.
// Meant for text that is already Visible().
int DisplayWidth(const QString& text);

// Padded with spaces to `width` columns, on the right or on the left.
QString PadRight(const QString& text, int width);
QString PadLeft(const QString& text, int width);

// A stored value quoted for a message: visible, and cut to `longest`
// characters with "..." so that one line stays one line.
QString Quoted(const QString& text, qsizetype longest = 40);

// Character data and attribute values for XML: & < > " ' as entities.
QString XmlEscaped(const QString& text);
