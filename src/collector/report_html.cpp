#include "visit_report.h"
#include "report_writer.h"
#include "text_out.h"
#include "text_util.h"
#include "weekday_names.h"

#include <cmath>
#include <cstdio>
#include <numbers>

namespace {

const char kStyle[] = R"(
*{box-sizing:border-box}
body{margin:0;background:#f4f5f7;color:#22262b;font:14px/1.5 "Microsoft YaHei","PingFang SC","Noto Sans CJK SC","WenQuanYi Micro Hei",sans-serif}
.top{height:4px;background:#2f6bf5}
header{background:#fff;padding:18px 28px;border-bottom:1px solid #dcdfe4}
h1{margin:0;font-size:22px}
.meta{color:#6b7280;font-size:13px}
main{max-width:1180px;margin:0 auto;padding:18px}
.kpis{display:grid;grid-template-columns:repeat(5,1fr);gap:12px;margin-bottom:14px}
.kpi,.card{background:#fff;border:1px solid #dcdfe4;border-radius:8px}
.kpi{padding:12px 16px}
.kpi b{display:block;font-size:22px;color:#2f6bf5}
.kpi span{color:#6b7280;font-size:12px}
.card{padding:14px 18px;margin-bottom:14px;overflow:auto}
.card h2{margin:0 0 10px;font-size:16px}
.grid2{display:grid;grid-template-columns:1fr 1fr;gap:14px}
.grid2 .card{margin-bottom:0}
.row2{margin-bottom:14px}
table{width:100%;border-collapse:collapse;font-size:13px}
th,td{padding:5px 8px;border-bottom:1px solid #edebea;text-align:left;vertical-align:top}
th{color:#6b7280;font-weight:normal;background:#f7f9fa}
td.n{text-align:right;white-space:nowrap}
td.u{word-break:break-all;color:#6b7280}
td.t{white-space:nowrap}
a{color:#1f4fc8;text-decoration:none}
.bad{color:#d93025}
.note{color:#6b7280;font-size:12px}
svg text{font-size:11px;fill:#6b7280}
footer{color:#6b7280;font-size:12px;text-align:center;padding:12px}
)";

std::string Num(qint64 N)
{
    return FormatCount(N).toStdString();
}

std::string Fixed(double V)
{
    char Buf[32];
    std::snprintf(Buf, sizeof Buf, "%.1f", V);
    return Buf;
}

// Only web links become clickable; javascript:, data: and the like stay text.
// The same rule as the window's opener: only web pages become links.
bool IsWebLink(const QString& Url)
{
    return Url.startsWith(QLatin1String("http://"), Qt::CaseInsensitive)
           || Url.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
}

void UrlCell(TTextOut& Out, const QString& Url)
{
    if (IsWebLink(Url))
        Out.Raw("<a href=\"").Html(Url).Raw("\" rel=\"noreferrer noopener\" target=\"_blank\">").Html(Url).Raw("</a>");
    else
        Out.Html(Url);
}

std::string HeatColor(qint64 V, qint64 Max)
{
    const double T = Max > 0 ? double(V) / double(Max) : 0.0;
    const TColor C = BlendColor(Rgb(0xEE, 0xF2, 0xF7), Rgb(0x2F, 0x6B, 0xF5), T);
    char Buf[8];
    std::snprintf(Buf, sizeof Buf, "#%02x%02x%02x", RedOf(C), GreenOf(C), BlueOf(C));
    return Buf;
}

void Heat(TTextOut& Out, const TReport& R)
{
    qint64 Max = 0;
    for (const auto& Row : R.Heat)
        for (qint64 V : Row)
            Max = std::max(Max, V);
    const int Cell = 34, Left = 40, Top = 18;
    Out.Raw("<svg viewBox=\"0 0 ").Int(Left + 24 * Cell + 4).Raw(" ").Int(Top + 7 * Cell + 4)
        .Raw("\" width=\"100%\" role=\"img\">");
    for (int H = 0; H < 24; H += 3)
        Out.Raw("<text x=\"").Int(Left + H * Cell + 2).Raw("\" y=\"12\">").Int(H).Raw(":00</text>");
    for (int D = 0; D < 7; ++D) {
        Out.Raw("<text x=\"0\" y=\"").Int(Top + D * Cell + 21).Raw("\">").Html(WeekdayNames()[D]).Raw("</text>");
        for (int H = 0; H < 24; ++H) {
            const qint64 V = R.Heat[size_t(D)][size_t(H)];
            Out.Raw("<rect x=\"").Int(Left + H * Cell).Raw("\" y=\"").Int(Top + D * Cell)
                .Raw("\" width=\"").Int(Cell - 3).Raw("\" height=\"").Int(Cell - 3)
                .Raw("\" rx=\"3\" fill=\"").Raw(HeatColor(V, Max)).Raw("\"><title>")
                .Html(WeekdayNames()[D]).Raw(" ").Int(H).Raw(":00 — ").Raw(Num(V)).Raw(" 次</title></rect>");
        }
    }
    Out.Raw("</svg>");
}

void Trend(TTextOut& Out, const TReport& R)
{
    if (R.Days.isEmpty()) {
        Out.Raw("<p class=\"note\">暂无按日统计数据</p>");
        return;
    }
    qint64 Max = 1;
    for (const TNameCount& D : R.Days)
        Max = std::max(Max, D.Count);
    const double W = 1100, H = 180, Base = 200;
    const double Step = W / double(R.Days.size());
    Out.Raw("<svg viewBox=\"0 0 1140 220\" width=\"100%\" role=\"img\">")
        .Raw("<line x1=\"30\" y1=\"200.5\" x2=\"1130\" y2=\"200.5\" stroke=\"#dcdfe4\"/>")
        .Raw("<text x=\"0\" y=\"24\">").Raw(Num(Max)).Raw("</text>");
    for (qsizetype I = 0; I < R.Days.size(); ++I) {
        const double Bh = H * double(R.Days[I].Count) / double(Max);
        Out.Raw("<rect x=\"").Raw(Fixed(30 + Step * double(I))).Raw("\" y=\"").Raw(Fixed(Base - Bh))
            .Raw("\" width=\"").Raw(Fixed(std::max(Step * 0.8, 0.5))).Raw("\" height=\"").Raw(Fixed(Bh))
            .Raw("\" fill=\"#2f6bf5\"><title>").Html(R.Days[I].Name).Raw(" — ")
            .Raw(Num(R.Days[I].Count)).Raw(" 次</title></rect>");
    }
    Out.Raw("<text x=\"30\" y=\"216\">").Html(R.Days.first().Name).Raw("</text>")
        .Raw("<text x=\"1130\" y=\"216\" text-anchor=\"end\">").Html(R.Days.last().Name).Raw("</text></svg>");
}

void Bars(TTextOut& Out, const QList<TNameCount>& List, const char* Color)
{
    if (List.isEmpty()) {
        Out.Raw("<p class=\"note\">无</p>");
        return;
    }
    qint64 Max = 1;
    for (const TNameCount& E : List)
        Max = std::max(Max, E.Count);
    const int Row = 24;
    Out.Raw("<svg viewBox=\"0 0 540 ").Int(qsizetype(List.size()) * Row + 4).Raw("\" width=\"100%\" role=\"img\">");
    for (qsizetype I = 0; I < List.size(); ++I) {
        const double Bw = 250.0 * double(List[I].Count) / double(Max);
        const qint64 Y = I * Row;
        Out.Raw("<text x=\"0\" y=\"").Int(Y + 16).Raw("\">").Html(List[I].Name.left(40)).Raw("</text>")
            .Raw("<rect x=\"220\" y=\"").Int(Y + 5).Raw("\" width=\"").Raw(Fixed(std::max(Bw, 1.0)))
            .Raw("\" height=\"14\" rx=\"3\" fill=\"").Raw(Color).Raw("\"/>")
            .Raw("<text x=\"").Raw(Fixed(226 + Bw)).Raw("\" y=\"").Int(Y + 16).Raw("\">")
            .Raw(Num(List[I].Count)).Raw("</text>");
    }
    Out.Raw("</svg>");
}

void Donut(TTextOut& Out, const TReport& R)
{
    qint64 Sum = 0;
    for (const TCatCount& C : R.Cats)
        Sum += C.Count;
    if (Sum <= 0) {
        Out.Raw("<p class=\"note\">无</p>");
        return;
    }
    const double Cx = 110, Cy = 110, Ro = 100, Ri = 60;
    Out.Raw("<svg viewBox=\"0 0 520 220\" width=\"100%\" role=\"img\">");
    double A0 = -std::numbers::pi / 2;
    for (qsizetype I = 0; I < R.Cats.size(); ++I) {
        const TCatCount& C = R.Cats[I];
        const double Frac = double(C.Count) / double(Sum);
        const std::string Fill = C.Color.toStdString();
        if (Frac >= 0.9999) {
            Out.Raw("<circle cx=\"110\" cy=\"110\" r=\"80\" fill=\"none\" stroke-width=\"40\" stroke=\"")
                .Raw(Fill).Raw("\"/>");
        } else if (Frac > 0) {
            const double A1 = A0 + Frac * 2 * std::numbers::pi;
            const int Large = Frac > 0.5 ? 1 : 0;
            auto P = [](double Cc, double Rr, double A, bool X) { return Fixed(Cc + Rr * (X ? std::cos(A) : std::sin(A))); };
            Out.Raw("<path fill=\"").Raw(Fill).Raw("\" d=\"M").Raw(P(Cx, Ro, A0, true)).Raw(",").Raw(P(Cy, Ro, A0, false))
                .Raw(" A100,100 0 ").Int(Large).Raw(" 1 ").Raw(P(Cx, Ro, A1, true)).Raw(",").Raw(P(Cy, Ro, A1, false))
                .Raw(" L").Raw(P(Cx, Ri, A1, true)).Raw(",").Raw(P(Cy, Ri, A1, false))
                .Raw(" A60,60 0 ").Int(Large).Raw(" 0 ").Raw(P(Cx, Ri, A0, true)).Raw(",").Raw(P(Cy, Ri, A0, false))
                .Raw(" Z\"><title>").Html(C.Name).Raw("</title></path>");
            A0 = A1;
        }
        const qint64 Y = 30 + I * 22;
        Out.Raw("<rect x=\"250\" y=\"").Int(Y - 11).Raw("\" width=\"12\" height=\"12\" rx=\"2\" fill=\"").Raw(Fill)
            .Raw("\"/><text x=\"270\" y=\"").Int(Y).Raw("\">").Html(C.Name).Raw("　").Raw(Num(C.Count))
            .Raw(" 次（").Raw(Fixed(Frac * 100)).Raw("%）</text>");
    }
    Out.Raw("</svg>");
}

void Kpi(TTextOut& Out, const std::string& Value, const char* Label)
{
    Out.Raw("<div class=\"kpi\"><b>").Raw(Value).Raw("</b><span>").Raw(Label).Raw("</span></div>");
}

} // namespace

void WriteReportHtml(const TReport& R, TTextOut& Out, size_t MaxRecords)
{
    Out.Raw("<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\">"
            "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src 'unsafe-inline'\">"
            "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"><title>")
        .Html(R.Title).Raw("</title><style>").Raw(kStyle).Raw("</style></head><body><div class=\"top\"></div><header><h1>")
        .Html(R.Title).Raw("</h1><div class=\"meta\">").Html(R.Range).Raw("　·　").Html(R.Scope)
        .Raw("　·　生成于 ").Html(R.Generated).Raw("</div></header><main>");

    Out.Raw("<div class=\"kpis\">");
    Kpi(Out, Num(R.Total), "访问次数");
    Kpi(Out, Num(R.UniqueUrl), "不同网址");
    Kpi(Out, Num(R.UniqueDomain), "不同域名");
    Kpi(Out, Num(R.ActiveDays), "活跃天数");
    std::string Peak;
    AppendHtmlText(Peak, R.Peak.isEmpty() ? QStringLiteral("—") : R.Peak);
    Kpi(Out, Peak, "最活跃时段");
    Out.Raw("</div>");
    if (!R.First.isEmpty())
        Out.Raw("<p class=\"note\">记录跨度 ").Html(R.First).Raw(" ~ ").Html(R.Last).Raw("</p>");

    Out.Raw("<section class=\"card\"><h2>时段分布（星期 × 小时）</h2>");
    Heat(Out, R);
    Out.Raw("</section><section class=\"card\"><h2>每日访问趋势</h2>");
    Trend(Out, R);
    Out.Raw("</section><div class=\"grid2 row2\"><section class=\"card\"><h2>常访域名 Top 15</h2>");
    Bars(Out, R.Domains, "#2f6bf5");
    Out.Raw("</section><section class=\"card\"><h2>网站分类</h2>");
    Donut(Out, R);
    Out.Raw("</section></div><div class=\"grid2 row2\"><section class=\"card\"><h2>搜索关键词 Top 12</h2>");
    Bars(Out, R.Keywords, "#8b5cf6");
    Out.Raw("</section><section class=\"card\"><h2>浏览器</h2>");
    Bars(Out, R.Browsers, "#10b981");
    Out.Raw("</section></div>");

    Out.Raw("<section class=\"card\"><h2>常访页面 Top 12</h2><table><tr><th>标题</th><th>网址</th><th>次数</th></tr>");
    for (const TPageRank& P : R.Pages) {
        Out.Raw("<tr><td>").Html(P.Title.isEmpty() ? QStringLiteral("（无标题）") : P.Title).Raw("</td><td class=\"u\">");
        UrlCell(Out, P.Url);
        Out.Raw("</td><td class=\"n\">").Raw(Num(P.Count)).Raw("</td></tr>");
    }
    Out.Raw("</table></section>");

    Out.Raw("<section class=\"card\"><h2>数据源</h2><table><tr><th>浏览器</th><th>配置/用户</th><th>状态</th>"
            "<th>条数</th><th>说明</th><th>库文件</th></tr>");
    for (const TSourceResult& S : R.Sources) {
        if (S.Hidden)
            continue;
        Out.Raw("<tr><td>").Html(S.Info.Name).Raw("</td><td>").Html(S.Info.Profile)
            .Raw(S.Ok ? "</td><td>" : "</td><td class=\"bad\">").Html(S.Status())
            .Raw("</td><td class=\"n\">").Int(S.Count).Raw("</td><td>").Html(S.Msg)
            .Raw("</td><td class=\"u\">").Html(S.Info.Path).Raw("</td></tr>");
    }
    Out.Raw("</table></section>");

    const size_t Shown = std::min(R.RecordCount, MaxRecords);
    Out.Raw("<section class=\"card\"><h2>访问明细</h2><p class=\"note\">");
    if (Shown < size_t(R.Total))
        Out.Raw("显示最近 ").Raw(Num(qint64(Shown))).Raw(" 条 / 共 ").Raw(Num(R.Total)).Raw(" 条");
    else
        Out.Raw("共 ").Raw(Num(R.Total)).Raw(" 条");
    Out.Raw("</p><table><tr><th>时间</th><th>浏览器</th><th>配置</th><th>标题</th><th>网址</th></tr>");
    TLocalClock Clock;
    char Time[19];
    for (size_t I = 0; I < Shown; ++I) {
        const TVisit& V = R.Visits[I];
        const TUrlEntry& E = R.EntryOf(V);
        const TSourceResult& S = R.Sources[V.Source];
        TLocalClock::Format(Clock.Convert(V.UnixUs), Time);
        Out.Raw("<tr><td class=\"t\">").Raw(Time, sizeof Time).Raw("</td><td>").Html(S.Info.Name)
            .Raw("</td><td>").Html(S.Info.Profile).Raw("</td><td>").Html(QString::fromUtf8(R.TitleOf(V))).Raw("</td><td class=\"u\">");
        UrlCell(Out, E.Url);
        Out.Raw("</td></tr>\n");
    }
    Out.Raw("</table></section></main><footer>Marrowkin 浏览器访问记录报告</footer></body></html>\n");
}
