#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <stdexcept>

// A wrong command line: printed with the usage hint, exit status 2.
class UsageError : public std::runtime_error
{
public:
    explicit UsageError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

struct Command
{
    const char* name;
    const char* synopsis; // one line for the overview
    const char* help;     // the whole --help text of the command
    int (*run)(const QStringList& args, QTextStream& out);
    // Whether these arguments make the command draw, which needs fonts and so
    // the graphical side of the toolkit; null for a command that never draws.
    bool (*draws)(const QStringList& args) = nullptr;
};

// Options of one command: "--name value" pairs and bare flags; anything else
// is positional. Unknown options and missing values are usage errors.
class Options
{
public:
    Options(const QStringList& args, const QStringList& valued, const QStringList& flags = {});
    bool has(const QString& name) const { return m_values.contains(name) || m_flags.contains(name); }
    QString value(const QString& name) const { return m_values.value(name); }
    const QStringList& positional() const { return m_positional; }
    // The positional arguments, exactly `count` of them.
    QStringList expect(int count, const QString& what) const;

private:
    QMap<QString, QString> m_values;
    QStringList m_flags;
    QStringList m_positional;
};

int RunInit(const QStringList& args, QTextStream& out);
int RunDemo(const QStringList& args, QTextStream& out);
int RunReport(const QStringList& args, QTextStream& out);
bool ReportDraws(const QStringList& args);
int RunExport(const QStringList& args, QTextStream& out);
int RunImportQuestions(const QStringList& args, QTextStream& out);
int RunCheck(const QStringList& args, QTextStream& out);
int RunIndex(const QStringList& args, QTextStream& out);
int RunCopy(const QStringList& args, QTextStream& out);
int RunUpgrade(const QStringList& args, QTextStream& out);
int RunCorrect(const QStringList& args, QTextStream& out);
int RunWithdraw(const QStringList& args, QTextStream& out);
int RunHistory(const QStringList& args, QTextStream& out);

// Splits "A;B;C" into trimmed names; empty input gives no names.
QStringList SplitNames(const QString& list);
