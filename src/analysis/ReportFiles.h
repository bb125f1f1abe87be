#pragma once

#include "data/Csv.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

class QFont;
class QPagedPaintDevice;
class QPaintDevice;
class QPainter;
struct Report;
struct ResultsGrid;

// The files a report is written as, the same from quelt-db and from the
// windows. Each is made whole in memory; the caller puts it in place.

enum class Paper { A4, Letter };

// The names with their control characters written visibly, as a terminal or
// a picture shows them.
ResultsGrid ShownNames(const ResultsGrid& grid);

// One line per cell, row by row: the cell's numbers and names, then its
// counts, sums and means (with each survey's for a comparison or trend).
QString ReportCsv(const Report& report, CsvTexts texts, CsvTarget target);

// The grid as the results window draws it, at the screen's dots per inch,
// with the key to its fills below; `colour` as Color Coding.
QImage ReportImage(const Report& report, bool colour);
QByteArray ReportPng(const Report& report, bool colour);
QByteArray ReportSvg(const Report& report, bool colour, const QString& creator);

// A document of pages: a title block (what was surveyed, by whom, for which
// company, when the report was made and from which database), the grid scaled
// to the page with its key, then each cell's questions with their scores,
// every page numbered. The report's questions must be loaded.
QByteArray ReportPdf(const Report& report, bool colour, Paper paper, const QString& creator);
// The same pages onto a printer, or any device that takes pages.
void PrintReport(QPagedPaintDevice& device, const Report& report, bool colour);

// The picture on a painter of its own (a window's picture box): its size on
// `device` when laid out in `font`, then the drawing over it.
QSize ReportPictureSize(const Report& report, const QFont& font, const QPaintDevice& device);
void PaintReport(QPainter& painter, const Report& report, bool colour, const QSize& size,
                 const QFont& font);

// The grid as tab-separated lines, names first, as a spreadsheet pastes it.
QString ReportTabText(const Report& report);
