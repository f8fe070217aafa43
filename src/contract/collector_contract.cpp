#include "collector_contract.h"

#include "app_info.h"

QString CollectorFileName()
{
    return QString::fromLatin1(kCollectorFile);
}

QString ExitCodeText(int Code)
{
    switch (Code) {
    case ceOk: return QStringLiteral("成功");
    case ceBadArgs: return QStringLiteral("参数错误");
    case ceNoRecords: return QStringLiteral("时间范围内没有记录");
    case ceAllSourcesFailed: return QStringLiteral("数据源全部读取失败");
    case ceWriteFailed: return QStringLiteral("写报告失败");
    case ceInternal: return QStringLiteral("内部错误");
    }
    return QStringLiteral("退出码 %1").arg(Code);
}
