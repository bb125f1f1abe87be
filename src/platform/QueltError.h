#pragma once

#include <QString>
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

    // The text shown to the user.
    QString message() const;
    const char* what() const noexcept override;

private:
    QString m_action;
    QString m_engineText;
    QString m_statement;
    QString m_file;
    mutable QByteArray m_what;
};
