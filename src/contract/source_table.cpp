#include "source_table.h"

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

const TSourceDef* FindSourceDef(QAnyStringView Id)
{
    for (const TSourceDef& D : SourceDefs())
        if (QAnyStringView::equal(D.Id, Id))
            return &D;
    return nullptr;
}
