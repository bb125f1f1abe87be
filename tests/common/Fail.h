#pragma once

#include <QByteArray>
#include <QString>
#include <exception>
#include <source_location>

// A helper's step that cannot be done (a window or control that is not
// there, a file that will not open, a statement the engine refuses) fails
// the test at the line that asked for it and ends the test there. QVERIFY in
// a helper would only leave the helper, and the test would go on with what is
// missing. The shared main turns the thrown TestAbort into a failed test and
// runs the rest of the class.
class TestAbort : public std::exception
{
public:
    TestAbort(QByteArray message, QByteArray function, QByteArray dataTag)
        : m_message(std::move(message)), m_function(std::move(function)),
          m_dataTag(std::move(dataTag))
    {
    }
    const char* what() const noexcept override { return m_message.constData(); }
    // The test function it ended; empty outside Qt Test (the submitter, the
    // benchmarks).
    const QByteArray& function() const { return m_function; }
    const QByteArray& dataTag() const { return m_dataTag; }

private:
    QByteArray m_message;
    QByteArray m_function;
    QByteArray m_dataTag;
};

[[noreturn]] void FailTest(const QString& what,
                           std::source_location where = std::source_location::current());
