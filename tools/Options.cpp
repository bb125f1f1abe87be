#include "Command.h"

#include <QMap>

Options::Options(const QStringList& args, const QStringList& valued, const QStringList& flags)
{
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QStringLiteral("--")) {
            m_positional.append(args.mid(i + 1));
            break;
        }
        if (arg.startsWith(QStringLiteral("--"))) {
            QString name = arg.mid(2);
            QString inlineValue;
            const qsizetype eq = name.indexOf(u'=');
            const bool hasInline = eq >= 0;
            if (hasInline) {
                inlineValue = name.mid(eq + 1);
                name = name.left(eq);
            }
            if (m_values.contains(name) || m_flags.contains(name))
                throw UsageError(QStringLiteral("--%1 is given more than once").arg(name));
            if (valued.contains(name)) {
                if (hasInline) {
                    m_values.insert(name, inlineValue);
                } else {
                    if (i + 1 >= args.size())
                        throw UsageError(QStringLiteral("--%1 needs a value").arg(name));
                    m_values.insert(name, args[++i]);
                }
            } else if (flags.contains(name) && !hasInline) {
                m_flags.append(name);
            } else {
                throw UsageError(QStringLiteral("unknown option --%1").arg(name));
            }
        } else if (arg.startsWith(u'-') && arg.size() > 1) {
            // No command has short options; a name beginning with "-" goes after "--".
            throw UsageError(QStringLiteral("unknown option %1").arg(arg));
        } else {
            m_positional.append(arg);
        }
    }
}

QStringList Options::expect(int count, const QString& what) const
{
    if (m_positional.size() != count)
        throw UsageError(QStringLiteral("expected %1").arg(what));
    return m_positional;
}

QStringList SplitNames(const QString& list)
{
    QStringList names;
    if (list.trimmed().isEmpty())
        return names;
    for (const QString& part : list.split(u';'))
        names.append(part.trimmed());
    return names;
}
