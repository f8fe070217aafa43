#include "schedule_backend.h"

#include "text_util.h"

#include <QProcess>
#include <QStandardPaths>
#include <QStringDecoder>

namespace {

// A scheduler's tool answers at once; one that does not is given up.
constexpr int kToolTimeoutMs = 20000;

} // namespace

bool ToolFound(const QString& Tool)
{
    return !QStandardPaths::findExecutable(Tool).isEmpty();
}

TToolResult RunTool(const QString& Tool, const QStringList& Args, const QByteArray& Input)
{
    TToolResult R;
    // Resolved here rather than by the system, which on Windows would look
    // in the system folder before PATH.
    const QString Path = QStandardPaths::findExecutable(Tool);
    R.Found = !Path.isEmpty();
    if (!R.Found)
        return R;
    QProcess P;
    P.start(Path, Args);
    if (!P.waitForStarted(kToolTimeoutMs)) {
        R.Err = P.errorString().toUtf8();
        return R;
    }
    P.write(Input);
    P.closeWriteChannel();
    if (!P.waitForFinished(kToolTimeoutMs)) {
        P.kill();
        P.waitForFinished(kToolTimeoutMs);
        R.Err = QStringLiteral("%1 秒内没有结束").arg(kToolTimeoutMs / 1000).toUtf8();
        return R;
    }
    R.Finished = P.exitStatus() == QProcess::NormalExit;
    R.Code = P.exitCode();
    R.Out = P.readAllStandardOutput();
    R.Err = P.readAllStandardError();
    return R;
}

QString ToolText(const QByteArray& Bytes)
{
    if (Bytes.startsWith("\xFF\xFE")) {
        QStringDecoder Utf16(QStringDecoder::Utf16LE);
        return Utf16(QByteArrayView(Bytes).sliced(2));
    }
    QStringDecoder Utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString Text = Utf8(Bytes);
    if (Utf8.hasError())
        Text = QString::fromLocal8Bit(Bytes);
    return Text;
}

QString ToolFailedText(const QString& What, const QString& Tool, const QStringList& Args, const TToolResult& R)
{
    QString Answer;
    if (!R.Found)
        Answer = QStringLiteral("找不到 ") + Tool;
    else
        Answer = CleanSystemText(ToolText(R.Err.isEmpty() ? R.Out : R.Err));
    if (R.Found && R.Finished && Answer.isEmpty())
        Answer = QStringLiteral("退出码 %1").arg(R.Code);
    QStringList Shown{Tool};
    for (const QString& A : Args)
        Shown << QuoteArg(A);
    return What + QStringLiteral("\r\n\r\n") + Shown.join(u' ') + QStringLiteral("\r\n") + Answer;
}
