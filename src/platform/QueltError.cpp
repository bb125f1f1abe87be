#include "platform/QueltError.h"

#include "platform/TerminalText.h"

QueltError::QueltError(QString action, QString engineText, QString statement, QString file)
    : m_action(std::move(action)), m_engineText(std::move(engineText)),
      m_statement(std::move(statement)), m_file(std::move(file))
{
}

QueltError QueltError::withContext(const QString& file, const QString& statement) const
{
    QueltError copy = *this;
    if (copy.m_statement.isEmpty())
        copy.m_statement = statement;
    if (copy.m_file.isEmpty())
        copy.m_file = file;
    return copy;
}

QueltError QueltError::withLines(QStringList lines) const
{
    QueltError copy = *this;
    copy.m_lines = std::move(lines);
    return copy;
}

QString QueltError::compose(QString (*shown)(QStringView)) const
{
    QString text = shown(m_action);
    for (const QString& line : m_lines)
        text += u'\n' + shown(line);
    if (!m_engineText.isEmpty())
        text += QStringLiteral("\n\nThe database engine said: ") + shown(m_engineText);
    static const QLatin1String server("postgresql://");
    if (m_file.startsWith(server))
        text += QStringLiteral("\nServer: ") + shown(QStringView(m_file).mid(server.size()));
    else if (!m_file.isEmpty())
        text += QStringLiteral("\nFile: ") + shown(m_file);
    if (!m_statement.isEmpty()) {
        // A statement can carry a whole typed question; the start says enough.
        constexpr int kShown = 300;
        text += QStringLiteral("\nStatement: ") + shown(QStringView(m_statement).left(kShown));
        if (m_statement.size() > kShown)
            text += QStringLiteral("...");
    }
    return text;
}

QString QueltError::message() const
{
    return compose([](QStringView part) { return part.toString(); });
}

QString QueltError::VisibleMessage() const
{
    return compose(Visible);
}

const char* QueltError::what() const noexcept
{
    m_what = message().toUtf8();
    return m_what.constData();
}
