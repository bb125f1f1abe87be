#include "platform/QueltError.h"

QueltError::QueltError(QString action, QString engineText, QString statement, QString file)
    : m_action(std::move(action)), m_engineText(std::move(engineText)),
      m_statement(std::move(statement)), m_file(std::move(file))
{
}

QueltError QueltError::withContext(const QString& file, const QString& statement) const
{
    return QueltError(m_action, m_engineText, m_statement.isEmpty() ? statement : m_statement,
                      m_file.isEmpty() ? file : m_file);
}

QString QueltError::message() const
{
    QString text = m_action;
    if (!m_engineText.isEmpty())
        text += QStringLiteral("\n\nThe database engine said: ") + m_engineText;
    static const QLatin1String server("postgresql://");
    if (m_file.startsWith(server))
        text += QStringLiteral("\nServer: ") + m_file.mid(server.size());
    else if (!m_file.isEmpty())
        text += QStringLiteral("\nFile: ") + m_file;
    if (!m_statement.isEmpty()) {
        // A statement can carry a whole typed question; the start says enough.
        constexpr int shown = 300;
        QString stmt = m_statement.size() > shown ? m_statement.left(shown) + QStringLiteral("...")
                                                   : m_statement;
        text += QStringLiteral("\nStatement: ") + stmt;
    }
    return text;
}

const char* QueltError::what() const noexcept
{
    m_what = message().toUtf8();
    return m_what.constData();
}
