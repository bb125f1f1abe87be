#pragma once

#include <QString>
#include <QStringList>
#include <exception>

// The one exception every engine and conversion failure travels as. It carries
// enough for the user to act on: what the program was doing, what the engine
// said, the statement it ran, and the file it ran it on.
class QueltError : public std::exception
{
public:
    QueltError(QString action, QString engineText = {}, QString statement = {},
               QString file = {});

    const QString& action() const { return m_action; }
    const QString& engineText() const { return m_engineText; }
    const QString& statement() const { return m_statement; }
    const QString& file() const { return m_file; }

    // A copy that names the file and statement, kept when already known.
    QueltError withContext(const QString& file, const QString& statement) const;
    // A copy with lines listed after the action, one each (every faulty line
    // of an import, every row a copy refuses).
    QueltError withLines(QStringList lines) const;

    // The text shown to the user.
    QString message() const;
    // The same for a terminal: each part Visible(), so that a file name or
    // the engine's words quoting a stored text cannot act on it; the lines
    // between the parts stay lines.
    QString VisibleMessage() const;
    const char* what() const noexcept override;

private:
    QString compose(QString (*shown)(QStringView)) const;

    QString m_action;
    QStringList m_lines;
    QString m_engineText;
    QString m_statement;
    QString m_file;
    mutable QByteArray m_what;
};
