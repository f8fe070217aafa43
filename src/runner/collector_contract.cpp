#include "collector_contract.h"

#include "app_info.h"

const TSourceDefs& SourceDefs()
{
    static const TSourceDefs Defs{{
        {QStringLiteral("chrome"), QStringLiteral("Chrome")},
        {QStringLiteral("edge"), QStringLiteral("Edge")},
        {QStringLiteral("firefox"), QStringLiteral("Firefox")},
        {QStringLiteral("ie"), QStringLiteral("IE/旧版 Edge")},
        {QStringLiteral("qq"), QStringLiteral("QQ 浏览器")},
        {QStringLiteral("360se"), QStringLiteral("360 安全")},
        {QStringLiteral("360chrome"), QStringLiteral("360 极速")},
        {QStringLiteral("sogou"), QStringLiteral("搜狗")},
        {QStringLiteral("liebao"), QStringLiteral("猎豹")},
        {QStringLiteral("2345"), QStringLiteral("2345")},
        {QStringLiteral("theworld"), QStringLiteral("世界之窗")},
        {QStringLiteral("opera"), QStringLiteral("Opera")},
        {QStringLiteral("brave"), QStringLiteral("Brave")},
        {QStringLiteral("vivaldi"), QStringLiteral("Vivaldi")},
        {QStringLiteral("maxthon"), QStringLiteral("傲游")},
        {QStringLiteral("115"), QStringLiteral("115")},
    }};
    return Defs;
}

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
