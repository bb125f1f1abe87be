#pragma once

#include "platform/TerminalText.h"

#include <QString>

// Stored texts laid out for a terminal or put into markup. A file may hold
// anything in a name: these keep it from acting on what shows it
// (Visible() is the one way to a terminal).

// The columns a terminal gives the text: two for wide (East Asian) characters,
// none for combining marks and other zero-width characters, one otherwise.
// Meant for text that is already Visible().
int DisplayWidth(const QString& text);

// The text cut short to at most `width` columns, ending in "…" where it is
// cut; a text that fits comes back whole.
QString CutToWidth(const QString& text, int width);

// Padded with spaces to `width` columns, on the right or on the left.
QString PadRight(const QString& text, int width);
QString PadLeft(const QString& text, int width);

// A stored value quoted for a message: visible, and cut to `longest`
// characters with "..." so that one line stays one line.
QString Quoted(const QString& text, qsizetype longest = 40);

// Character data and attribute values for XML: & < > " ' as entities.
QString XmlEscaped(const QString& text);
