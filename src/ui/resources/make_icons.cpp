// Renders the program icon into the PNG files the resource ships. Run it after
// changing PaintAppIcon: mk_make_icons <folder>.
#include "app_icon.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTextStream>

int main(int argc, char** argv)
{
    QGuiApplication App(argc, argv);
    const QStringList Args = App.arguments();
    if (Args.size() != 2) {
        QTextStream(stderr) << "usage: mk_make_icons <folder>\n";
        return 1;
    }
    const QDir Folder(Args[1]);
    for (int Size : {16, 24, 32, 40, 48, 64, 128, 256}) {
        QImage Image(Size, Size, QImage::Format_ARGB32_Premultiplied);
        Image.fill(Qt::transparent);
        {
            QPainter P(&Image);
            PaintAppIcon(P, QRectF(0, 0, Size, Size));
        }
        const QString Path = Folder.filePath(QStringLiteral("marrowkin_%1.png").arg(Size));
        if (!Image.save(Path)) {
            QTextStream(stderr) << "cannot write " << Path << "\n";
            return 1;
        }
    }
    return 0;
}
