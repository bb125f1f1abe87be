#include "BenchSupport.h"

#include "data/SurveyFile.h"
#include "platform/DbEngine.h"
#include "platform/MessageBox.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <stdexcept>
#include <unistd.h>

namespace Bench {

Folder::Folder(const QString& source, Mode mode) : m_previous(QDir::currentPath())
{
    // Beside the cache, so a hard link works (one file system) and the large
    // file is not copied for every run.
    const QString base = QFileInfo(source).absolutePath();
    QTemporaryDir dir(base + QStringLiteral("/run-XXXXXX"));
    if (!dir.isValid())
        throw std::runtime_error("cannot make a folder for a benchmark run");
    dir.setAutoRemove(false);
    m_path = dir.path();
    const QString target = FilePath();
    const bool linked =
        mode == Share && ::link(QFile::encodeName(source).constData(),
                                QFile::encodeName(target).constData()) == 0;
    if (!linked) {
        if (!QFile::copy(source, target))
            throw std::runtime_error("cannot copy the benchmark file");
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    }
    QDir::setCurrent(m_path);
}

Folder::~Folder()
{
    CloseAllWindows();
    QDir::setCurrent(m_previous);
    QDir(m_path).removeRecursively();
}

QString Folder::FilePath() const
{
    return QDir(m_path).filePath(QStringLiteral("quelt.mdb"));
}

Messages::Messages(benchmark::State& state, QStringList expected)
    : m_state(state), m_expected(std::move(expected))
{
    MessageBox::SetHandler([this](const QString& text, QWidget*) {
        if (m_expected.contains(text) || m_failed)
            return;
        m_failed = true;
        m_state.SkipWithError(text.toUtf8().constData());
    });
}

Messages::~Messages()
{
    MessageBox::SetHandler({});
}

AnswersAdded::AnswersAdded(const QString& location, int survey)
    : m_location(location), m_survey(survey)
{
    const Database db = OpenSurveyDatabaseAsIs(m_location, false);
    // The order answers were stored in: the file's row order, the server's
    // entry numbers.
    m_order = db.IsServer() ? QStringLiteral("entry") : QStringLiteral("rowid");
    m_last =
        db.CreateQueryDef(QStringLiteral("SELECT MAX(%1) AS last FROM survey_results").arg(m_order))
            .OpenRecordset()
            .FieldInt64(QStringLiteral("last"));
}

void AnswersAdded::TakeAway() const
{
    OpenSurveyDatabaseAsIs(m_location, false)
        .Execute(QStringLiteral("DELETE FROM survey_results WHERE survey_id = %1 AND %2 > %3")
                     .arg(m_survey)
                     .arg(m_order)
                     .arg(m_last));
}

void Pick(QComboBox* combo, int index)
{
    combo->setCurrentIndex(index);
    Q_EMIT combo->activated(index);
}

QString SourceDir()
{
    return QStringLiteral(QUELT_SOURCE_DIR);
}

} // namespace Bench

namespace Bench {

double Seconds(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

QStringList Strings(const std::vector<std::string>& values)
{
    QStringList list;
    list.reserve(qsizetype(values.size()));
    for (const std::string& v : values)
        list.append(QString::fromStdString(v));
    return list;
}

} // namespace Bench
