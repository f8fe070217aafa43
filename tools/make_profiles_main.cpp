#include "sample_profiles.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication App(argc, argv);
    const QStringList Args = App.arguments();
    if (Args.size() < 2 || Args.size() > 3) {
        std::fprintf(stderr, "用法：mk_make_profiles <home 目录> [访问次数，默认 20000]\n");
        return 1;
    }
    bool NumOk = true;
    const int Visits = Args.size() == 3 ? Args[2].toInt(&NumOk) : 20000;
    if (!NumOk || Visits < 1 || Visits > 50000000) {
        std::fprintf(stderr, "访问次数无效：%s\n", qPrintable(Args[2]));
        return 1;
    }
    const QString Home = QDir(Args[1]).absolutePath();
    QString Err;
    if (!MakeSampleHome(Home, Visits, Err)) {
        std::fprintf(stderr, "生成失败：%s\n", Err.toUtf8().constData());
        return 1;
    }
    std::printf("已生成示例配置：%s\n", Home.toUtf8().constData());
    return 0;
}
