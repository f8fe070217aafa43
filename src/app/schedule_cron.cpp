#include "schedule_cron.h"

#include <QRegularExpression>

namespace {

// Ends our line, so that it is found again and nothing else is touched; the
// shell reads it as a comment.
constexpr char kMarker[] = "# marrowkin-scheduled-report";

// One word for the shell cron hands the command to: in single quotes, where
// only the quote itself needs care. Cron turns an unescaped "%" into a line
// break and drops the backslash of "\%" only: each "%" stands outside the
// quotes, escaped, so no backslash of the text can come right before it.
QString CronWord(const QString& Text)
{
    QString Out = QStringLiteral("'");
    for (const QChar C : Text) {
        if (C == u'\'')
            Out += QStringLiteral("'\\''");
        else if (C == u'%')
            Out += QStringLiteral("'\\%'");
        else
            Out += C;
    }
    return Out + u'\'';
}

bool IsOurs(const QByteArray& Line)
{
    const QByteArray T = Line.trimmed();
    return !T.startsWith('#') && T.endsWith(kMarker);
}

} // namespace

bool CronLine(const TScheduledRun& Run, QString& Line, QString& Error)
{
    const QString Control = FirstControlChar(Run.FArgs + QStringList{Run.FProgram});
    if (!Control.isEmpty()) {
        Error = CannotRegisterText(QStringLiteral("命令含有控制字符 ") + Control);
        return false;
    }
    const TRepeat& S = Run.FRepeat;
    Line = QStringLiteral("%1 %2 * * %3 ")
               .arg(S.FTime.minute())
               .arg(S.FTime.hour())
               .arg(S.FFreq == sfWeekly ? QString::number(S.FWeekday % 7) : QStringLiteral("*"));
    Line += CronWord(Run.FProgram);
    for (const QString& A : Run.FArgs)
        Line += u' ' + CronWord(A);
    // Cron would mail whatever the run prints; its result is the report.
    Line += QStringLiteral(" >/dev/null 2>&1 ") + QLatin1String(kMarker);
    return true;
}

QByteArray FindCronLine(const QByteArray& Crontab)
{
    for (const QByteArray& L : Crontab.split('\n'))
        if (IsOurs(L))
            return L;
    return QByteArray();
}

QByteArray WithCronLine(const QByteArray& Crontab, const QString& Line)
{
    QList<QByteArray> Lines = Crontab.split('\n');
    if (!Lines.isEmpty() && Lines.last().isEmpty())
        Lines.removeLast();
    Lines.removeIf(IsOurs);
    if (!Line.isEmpty())
        Lines << Line.toUtf8();
    // cron ignores a last line without its line break.
    return Lines.isEmpty() ? QByteArray() : Lines.join('\n') + '\n';
}

bool ParseCronLine(const QString& Line, TRepeat& Repeat)
{
    static const QRegularExpression When(QStringLiteral("^\\s*(\\d{1,2}) (\\d{1,2}) \\* \\* ([0-6*]) "));
    const QRegularExpressionMatch M = When.match(Line);
    const QTime Time(M.captured(2).toInt(), M.captured(1).toInt());
    if (!M.hasMatch() || !Time.isValid())
        return false;
    Repeat = TRepeat();
    Repeat.FTime = Time;
    if (M.captured(3) != QLatin1String("*")) {
        Repeat.FFreq = sfWeekly;
        const int Dow = M.captured(3).toInt();
        Repeat.FWeekday = Dow == 0 ? 7 : Dow;
    }
    return true;
}
