#include "analysis/ReportMenu.h"

#include "analysis/ReportFiles.h"
#include "data/SurveyFile.h"
#include "platform/DbEngine.h"
#include "platform/ErrorReport.h"
#include "platform/QueltError.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QSaveFile>
#include <QShortcut>

namespace {

const QString kCreator = QStringLiteral("Quelt Analysis Software");

struct SaveFormat
{
    QString filter;
    QString suffix;
};

const QList<SaveFormat> kSaveFormats = {
    {QStringLiteral("PNG picture (*.png)"), QStringLiteral("png")},
    {QStringLiteral("PDF document (*.pdf)"), QStringLiteral("pdf")},
    {QStringLiteral("SVG drawing (*.svg)"), QStringLiteral("svg")},
    {QStringLiteral("CSV table (*.csv)"), QStringLiteral("csv")},
};

void saveBytes(const QString& path, const QByteArray& bytes)
{
    // Written beside its place and moved there whole, as quelt-db does.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw QueltError(QStringLiteral("%1 could not be written: %2.")
                             .arg(QFileInfo(path).absoluteFilePath(), file.errorString()));
}

} // namespace

ReportMenu::ReportMenu(QWidget* window, std::initializer_list<QWidget*> pictures)
    : QObject(window), m_window(window)
{
    mnuReport = new QMenu(window);
    mnuReport->setObjectName(QStringLiteral("mnuReport"));
    const auto item = [this](const char* name, const QString& caption) {
        QAction* action = mnuReport->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        action->setEnabled(false);
        return action;
    };
    miCopy = item("miCopy", QStringLiteral("&Copy"));
    miSaveAs = item("miSaveAs", QStringLiteral("Save &As..."));
    miPrint = item("miPrint", QStringLiteral("&Print..."));
    const auto guarded = [this](void (ReportMenu::*method)()) {
        return [this, method] { RunGuarded(m_window, [&] { (this->*method)(); }); };
    };
    connect(miCopy, &QAction::triggered, this, guarded(&ReportMenu::miCopy_Click));
    connect(miSaveAs, &QAction::triggered, this, guarded(&ReportMenu::miSaveAs_Click));
    connect(miPrint, &QAction::triggered, this, guarded(&ReportMenu::miPrint_Click));

    for (QWidget* picture : pictures) {
        picture->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(picture, &QWidget::customContextMenuRequested, this,
                [this, picture](const QPoint& at) { popUp(picture, at); });
        // The menu key comes as a context menu request; Shift+F10 is the
        // same key for those without one.
        auto* key = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), picture);
        key->setContext(Qt::WidgetShortcut);
        connect(key, &QShortcut::activated, this, [this, picture] {
            // Where the menu key would open it: at the focus point (the
            // current cell of a results grid), within the part in view.
            const QRect shown = picture->visibleRegion().boundingRect();
            const QRect focus =
                picture->inputMethodQuery(Qt::ImCursorRectangle).toRect().intersected(shown);
            popUp(picture, (focus.isEmpty() ? shown : focus).center());
        });
    }
}

void ReportMenu::popUp(QWidget* picture, const QPoint& at)
{
    mnuReport->popup(picture->mapToGlobal(at));
}

void ReportMenu::Show(SurveyNumber survey, const ResultsGrid& results, bool colour)
{
    Report report;
    report.grid = results;
    Show(std::move(report), colour);
    m_survey = survey;
}

void ReportMenu::Show(Report report, bool colour)
{
    m_report = std::move(report);
    m_survey.reset();
    m_colour = colour;
    for (QAction* action : mnuReport->actions())
        action->setEnabled(true);
}

const Report& ReportMenu::shown()
{
    if (m_survey) {
        const EngineAction reading;
        const Database db = OpenSurveyDatabase(DBEngine::SurveyDatabaseName());
        m_report = SurveyReport(db, *m_survey, m_report->grid);
        m_survey.reset();
    }
    return *m_report;
}

Report ReportMenu::withQuestions()
{
    Report report = shown();
    // Read as a click reads, under one limit; never while a dialog is open.
    const EngineAction reading;
    LoadReportQuestions(OpenSurveyDatabase(DBEngine::SurveyDatabaseName()), report);
    return report;
}

void ReportMenu::miCopy_Click()
{
    const Report& report = shown();
    auto* data = new QMimeData;
    data->setText(ReportTabText(report));
    data->setImageData(ReportImage(report, m_colour));
    QApplication::clipboard()->setMimeData(data);
}

void ReportMenu::miSaveAs_Click()
{
    QFileDialog dialog(m_window, QStringLiteral("Save As"));
    dialog.setObjectName(QStringLiteral("dlgSaveAs"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    QStringList filters;
    for (const SaveFormat& format : kSaveFormats)
        filters.append(format.filter);
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(kSaveFormats.first().suffix);
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
        for (const SaveFormat& format : kSaveFormats)
            if (format.filter == filter)
                dialog.setDefaultSuffix(format.suffix);
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().first();
    // The name says what the file holds; a name without a known suffix
    // takes the chosen kind.
    QString suffix = QFileInfo(path).suffix().toLower();
    const auto known = [&suffix](const SaveFormat& f) { return f.suffix == suffix; };
    if (std::none_of(kSaveFormats.begin(), kSaveFormats.end(), known)) {
        const qsizetype chosen = filters.indexOf(dialog.selectedNameFilter());
        suffix = kSaveFormats.at(std::max<qsizetype>(chosen, 0)).suffix;
    }
    if (suffix == QLatin1String("pdf"))
        saveBytes(path, ReportPdf(withQuestions(), m_colour, Paper::A4, kCreator));
    else if (suffix == QLatin1String("svg"))
        saveBytes(path, ReportSvg(shown(), m_colour, kCreator));
    else if (suffix == QLatin1String("csv"))
        saveBytes(path, ReportCsv(shown(), CsvTexts::Neutralised, CsvTarget::File).toUtf8());
    else
        saveBytes(path, ReportPng(shown(), m_colour));
}

void ReportMenu::miPrint_Click()
{
    const Report report = withQuestions();
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(report.title);
    printer.setCreator(kCreator);
    QPrintPreviewDialog preview(&printer, m_window);
    preview.setObjectName(QStringLiteral("dlgPrintPreview"));
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, [&](QPrinter* device) {
        RunGuarded(m_window, [&] { PrintReport(*device, report, m_colour); });
    });
    preview.exec();
}
