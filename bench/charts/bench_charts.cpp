// Paint time of each chart at the size the report window gives it. Next to our
// trend chart runs a straightforward one that draws every bar as a rounded
// rectangle, clipped ones included, to show what the thin-bar path saves; a
// blank widget of the same size shows the fixed cost of a paint.

#include "bar_chart.h"
#include "chart_geometry.h"
#include "donut_chart.h"
#include "heat_chart.h"
#include "palette.h"
#include "rank_chart.h"

#include <QApplication>
#include <QDate>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>

#include <benchmark/benchmark.h>

namespace {

THeatMatrix SampleHeat()
{
    QRandomGenerator Rng(7);
    THeatMatrix M{};
    for (int D = 0; D < 7; ++D)
        for (int H = 0; H < 24; ++H)
            M[D][H] = H < 7 ? int(Rng.bounded(5)) : int(Rng.bounded(400));
    return M;
}

TDayPoints SampleDays(int N)
{
    QRandomGenerator Rng(11);
    TDayPoints P;
    P.reserve(N);
    const QDate First(1927, 1, 1);
    for (int I = 0; I < N; ++I)
        P.append({First.addDays(I).toString(QStringLiteral("yyyy-MM-dd")), int(Rng.bounded(900))});
    return P;
}

TRankEntries SampleRank(int N)
{
    TRankEntries E;
    for (int I = 0; I < N; ++I)
        E.append({QStringLiteral("一个相当长的页面标题，用来检验省略号的效果 %1").arg(I + 1),
                  QStringLiteral("www.site%1.example").arg(I + 1), 5000 / (I + 1), kDefaultColor});
    return E;
}

TSlices SampleSlices(int N)
{
    static const TColor Colours[] = {0xF56B2F, 0x3FB950, 0x2E9BF7, 0xA855F7, 0x1FA2EF, 0x6B7280,
                                     0x14B8A6, 0x0EA5E9, 0xEC4899, 0x84CC16, 0xF97316, 0x64748B};
    TSlices S;
    for (int I = 0; I < N; ++I)
        S.append({QStringLiteral("类别 %1").arg(I + 1), 1000 - I * 70, Colours[I % 12]});
    return S;
}

void PaintLoop(benchmark::State& State, QWidget& W, int Width, int Height)
{
    W.resize(Width, Height);
    QImage Img(Width, Height, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : State) {
        W.render(&Img);
        benchmark::DoNotOptimize(Img.constBits());
    }
}

void BM_HeatChart(benchmark::State& State)
{
    THeatChart Chart(nullptr);
    Chart.SetMatrix(SampleHeat());
    PaintLoop(State, Chart, 1088, 240);
}

void BM_TrendChart36500(benchmark::State& State)
{
    TBarChart Chart(nullptr);
    Chart.SetPoints(SampleDays(36500));
    PaintLoop(State, Chart, 1088, 400);
}

void BM_TrendChart30(benchmark::State& State)
{
    TBarChart Chart(nullptr);
    Chart.SetPoints(SampleDays(30));
    PaintLoop(State, Chart, 1088, 400);
}

void BM_RankChart15(benchmark::State& State)
{
    TRankChart Chart(nullptr);
    Chart.SetEntries(SampleRank(15));
    PaintLoop(State, Chart, 660, 480);
}

void BM_DonutChart12(benchmark::State& State)
{
    TDonutChart Chart(nullptr);
    Chart.SetSlices(SampleSlices(12));
    PaintLoop(State, Chart, 400, 300);
}

// Peer: every bar through the general rounded-rectangle path.
class TNaiveTrend final : public QWidget {
public:
    TDayPoints FPoints;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter P(this);
        P.fillRect(rect(), Qt::white);
        const TBarLayout L = CalcBarLayout(width(), height(), int(FPoints.size()));
        const qint32 M = BarScaleMax(FPoints);
        P.setPen(ToQColor(clAccent));
        P.setBrush(ToQColor(clAccent));
        for (int I = 0; I < FPoints.size(); ++I) {
            const int H = BarHeight(FPoints[I].Count, M, L.PH);
            P.drawRoundedRect(BarRect(L, BarSlotOf(L, I), H), 3, 3);
        }
    }
};

void BM_Peer_NaiveTrend36500(benchmark::State& State)
{
    TNaiveTrend Chart;
    Chart.FPoints = SampleDays(36500);
    PaintLoop(State, Chart, 1088, 400);
}

void BM_Peer_BlankWidget(benchmark::State& State)
{
    QWidget W;
    W.setAttribute(Qt::WA_OpaquePaintEvent);
    W.setAutoFillBackground(true);
    PaintLoop(State, W, 1088, 400);
}

} // namespace

BENCHMARK(BM_HeatChart)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrendChart36500)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrendChart30)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RankChart15)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DonutChart12)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Peer_NaiveTrend36500)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Peer_BlankWidget)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication App(argc, argv);
    benchmark::Initialize(&argc, argv);
    std::printf("Goal: every chart paint below 5 ms.\n");
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
