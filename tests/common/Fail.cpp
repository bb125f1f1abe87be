#include "common/Fail.h"

#include <QTest>

void FailTest(const QString& what, std::source_location where)
{
    const QByteArray message = what.toUtf8();
    const char* function = QTest::currentTestFunction();
    if (function)
        QTest::qFail(message.constData(), where.file_name(), int(where.line()));
    throw TestAbort(message, QByteArray(function), QByteArray(QTest::currentDataTag()));
}
