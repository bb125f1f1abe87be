#include "common/TestDb.h"

#include "data/Schema.h"
#include "platform/MessageBox.h"

#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>
#include <QWidget>

void OnExistingFile(QSqlDatabase& db, const QString& path)
{
    db.setDatabaseName(QStringLiteral("file:") +
                       QString::fromLatin1(QUrl::toPercentEncoding(path, "/")) +
                       QStringLiteral("?mode=rw"));
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI"));
}

QSqlDatabase OpenExisting(const QString& name, const QString& path, std::source_location where)
{
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        OnExistingFile(db, path);
        if (db.open())
            return db;
        error = db.lastError().text();
    }
    QSqlDatabase::removeDatabase(name);
    FailTest(QStringLiteral("cannot open %1: %2").arg(path, error), where);
}

namespace {

int g_fixtureConnection = 0;

// Runs fn with a plain Qt connection on the file, removed afterwards.
template <class F>
auto withConnection(const QString& path, F fn)
{
    const QString name = QStringLiteral("testdb-%1").arg(++g_fixtureConnection);
    struct Remover
    {
        QString name;
        ~Remover() { QSqlDatabase::removeDatabase(name); }
    } remover{name};
    // Scoped, so that no copy of the connection outlives the removal.
    return [&] {
        QSqlDatabase db = OpenExisting(name, path);
        return fn(db);
    }();
}

void check(const QSqlQuery& q, bool ok, const QString& sql)
{
    if (!ok)
        FailTest(q.lastError().text() + QStringLiteral(" in: ") + sql.left(200));
}

QSqlQuery run(QSqlDatabase& db, const QString& sql)
{
    QSqlQuery q(db);
    check(q, q.exec(sql), sql);
    return q;
}

} // namespace

TestDb::TestDb(const QStringList& rows, const QStringList& cols, bool bare)
    : m_previousDir(QDir::currentPath())
{
    if (!bare) {
        Schema::CreateSurveyDatabase(path(), rows, cols);
    } else {
        // Any empty file is an empty database.
        QFile file(path());
        if (!file.open(QIODevice::WriteOnly))
            FailTest(QStringLiteral("cannot make ") + path());
        file.close();
        exec(QStringLiteral("CREATE TABLE model_row (row_number, name)"));
        exec(QStringLiteral("CREATE TABLE model_column (col_number, name)"));
        exec(QStringLiteral("CREATE TABLE question (id INTEGER PRIMARY KEY, label, "
                            "question_text, row_id, col_id)"));
        exec(QStringLiteral("CREATE TABLE survey (id, completed_by, company)"));
        exec(QStringLiteral("CREATE TABLE survey_results (survey_id, question_id, answer)"));
        for (int i = 0; i < rows.size(); ++i)
            exec(QStringLiteral("INSERT INTO model_row VALUES (%1, '%2')").arg(i).arg(rows[i]));
        for (int i = 0; i < cols.size(); ++i)
            exec(QStringLiteral("INSERT INTO model_column VALUES (%1, '%2')").arg(i).arg(cols[i]));
    }
    QDir::setCurrent(m_dir.path());
}

TestDb::~TestDb()
{
    QDir::setCurrent(m_previousDir);
}

QString TestDb::path() const
{
    return m_dir.filePath(QStringLiteral("quelt.mdb"));
}

void TestDb::exec(const QString& sql) const
{
    withConnection(path(), [&](QSqlDatabase& db) {
        run(db, sql);
        return 0;
    });
}

QList<QVariantList> TestDb::rows(const QString& sql) const
{
    return withConnection(path(), [&](QSqlDatabase& db) {
        QList<QVariantList> result;
        QSqlQuery q = run(db, sql);
        while (q.next()) {
            QVariantList row;
            for (int i = 0; i < q.record().count(); ++i)
                row.append(q.value(i));
            result.append(row);
        }
        return result;
    });
}

QVariant TestDb::value(const QString& sql) const
{
    const auto all = rows(sql);
    return all.isEmpty() || all.first().isEmpty() ? QVariant() : all.first().first();
}

qint64 TestDb::count(const QString& table) const
{
    return value(QStringLiteral("SELECT count(*) FROM ") + table).toLongLong();
}

qint64 TestDb::addQuestion(int row, int col, const QString& text, const QString& label) const
{
    return withConnection(path(), [&](QSqlDatabase& db) {
        QSqlQuery q(db);
        q.prepare(QStringLiteral(
            "INSERT INTO question (label, question_text, row_id, col_id) VALUES (?, ?, ?, ?)"));
        // A null QString would be bound as SQL NULL.
        q.addBindValue(label.isNull() ? QStringLiteral("") : label);
        q.addBindValue(text.isNull() ? QStringLiteral("") : text);
        q.addBindValue(row);
        q.addBindValue(col);
        check(q, q.exec(), q.lastQuery());
        return q.lastInsertId().toLongLong();
    });
}

void TestDb::addSurvey(int id, const QString& completedBy, const QString& company) const
{
    withConnection(path(), [&](QSqlDatabase& db) {
        QSqlQuery q(db);
        q.prepare(QStringLiteral("INSERT INTO survey (id, completed_by, company) VALUES (?, ?, ?)"));
        q.addBindValue(id);
        q.addBindValue(completedBy);
        q.addBindValue(company);
        check(q, q.exec(), q.lastQuery());
        return 0;
    });
}

void TestDb::addAnswer(int survey, qint64 question, int answer) const
{
    exec(QStringLiteral("INSERT INTO survey_results (survey_id, question_id, answer) "
                        "VALUES (%1, %2, %3)")
             .arg(survey)
             .arg(question)
             .arg(answer));
}

MessageCapture::MessageCapture()
{
    MessageBox::SetHandler([this](const QString& text, QWidget* parent) {
        messages.append(text);
        parents.append(parent ? parent->objectName() : QString());
    });
    MessageBox::SetQuestionHandler([this](const QString& text, QWidget* parent) {
        messages.append(text);
        parents.append(parent ? parent->objectName() : QString());
        return !answers.isEmpty() && answers.takeFirst();
    });
}

MessageCapture::~MessageCapture()
{
    MessageBox::SetHandler({});
    MessageBox::SetQuestionHandler({});
}
