#include "schedule_systemd.h"

#include <QRegularExpression>

namespace {

const char* const kDayNames[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};

const QString& Header()
{
    static const QString Text = QStringLiteral("# 由 MarrowkinWin 的“定时生成报告…”创建，也请在那里删除\n"
                                               "[Unit]\nDescription=Marrowkin 定时生成报告\n\n");
    return Text;
}

// One word of ExecStart=: quoted, so blanks and a lone ";" stay inside it;
// "%" would start a specifier and "$" a variable, "\" and '"' an escape.
QString ExecWord(const QString& Text, bool Program)
{
    QString Out = QStringLiteral("\"");
    for (const QChar C : Text) {
        if (C == u'%')
            Out += QStringLiteral("%%");
        else if (C == u'$' && !Program) // the program's path is not expanded
            Out += QStringLiteral("$$");
        else if (C == u'\\' || C == u'"')
            Out += u'\\' + C;
        else
            Out += C;
    }
    return Out + u'"';
}

} // namespace

QString SystemdUnitName()
{
    return QStringLiteral("marrowkin-report");
}

bool SystemdUnits(const TScheduledRun& Run, QString& Service, QString& Timer, QString& Error)
{
    // systemd refuses these in the program's path whatever the quoting.
    static const QRegularExpression Refused(QStringLiteral("[\"'\\\\]"));
    const QRegularExpressionMatch M = Refused.match(Run.FProgram);
    if (M.hasMatch()) {
        Error = CannotRegisterText(QStringLiteral("systemd 不接受程序路径中的字符“") + M.captured() +
                                   QStringLiteral("”：") + Run.FProgram);
        return false;
    }
    const QString Control = FirstControlChar(Run.FArgs + QStringList{Run.FProgram});
    if (!Control.isEmpty()) {
        Error = CannotRegisterText(QStringLiteral("命令含有控制字符 ") + Control);
        return false;
    }
    QString Exec = ExecWord(Run.FProgram, true);
    for (const QString& A : Run.FArgs)
        Exec += u' ' + ExecWord(A, false);
    Service = Header() + QStringLiteral("[Service]\nType=oneshot\nExecStart=") + Exec + u'\n';

    QString When = Run.FRepeat.FTime.toString(QStringLiteral("'*-*-*' HH:mm:'00'"));
    if (Run.FRepeat.FFreq == sfWeekly)
        When = QLatin1String(kDayNames[qBound(1, Run.FRepeat.FWeekday, 7) - 1]) + u' ' + When;
    // Persistent: a run missed while the computer was off comes when it is on.
    Timer = Header() + QStringLiteral("[Timer]\nOnCalendar=") + When +
            QStringLiteral("\nPersistent=true\n\n[Install]\nWantedBy=timers.target\n");
    return true;
}

bool ParseTimerUnit(const QString& Timer, TRepeat& Repeat)
{
    static const QRegularExpression When(
        QStringLiteral("^OnCalendar=(?:(Mon|Tue|Wed|Thu|Fri|Sat|Sun) )?\\*-\\*-\\* (\\d\\d):(\\d\\d):00$"),
        QRegularExpression::MultilineOption);
    const QRegularExpressionMatch M = When.match(Timer);
    const QTime Time(M.captured(2).toInt(), M.captured(3).toInt());
    if (!M.hasMatch() || !Time.isValid())
        return false;
    Repeat = TRepeat();
    Repeat.FTime = Time;
    for (int D = 0; D < 7; ++D)
        if (M.captured(1) == QLatin1String(kDayNames[D])) {
            Repeat.FFreq = sfWeekly;
            Repeat.FWeekday = D + 1;
        }
    return true;
}

QString ExecStartOf(const QString& Service)
{
    static const QRegularExpression Exec(QStringLiteral("^ExecStart=(.*)$"), QRegularExpression::MultilineOption);
    return Exec.match(Service).captured(1);
}
