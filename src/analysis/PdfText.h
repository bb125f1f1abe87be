#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>

// What the document information of a PDF says beside its title.
struct PdfInfo
{
    QString author;
    QString subject;
};

// A PDF as the toolkit writes it, finished: Author and Subject in its
// document information, and every glyph read back as the character the
// document drew with it.
//
// A font may draw several characters with one glyph (a CJK font draws the
// Kangxi radical U+2F47 and the ideograph U+65E5 alike). A reader learns
// which character a glyph stands for from the font's map to Unicode in the
// file, and the toolkit fills that map with the lowest character that has
// the glyph, so the ideograph would be read as the radical. Where such a
// character is not among `drawn` but one with the same compatibility form is,
// the map names the drawn one.
QByteArray FinishPdf(const QByteArray& pdf, const PdfInfo& info, const QSet<char32_t>& drawn);
