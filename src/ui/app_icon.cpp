#include "app_icon.h"

#include "palette.h"

#include <QFile>
#include <QIcon>
#include <QPainter>
#include <QPixmap>

// Sizes of the PNG renderings shipped in the resource (40 is the banner logo).
static constexpr int kIconSizes[] = {16, 24, 32, 40, 48, 64, 128, 256};

static void LoadIconResources()
{
    // The resource sits in a static library; without this call the linker
    // would leave its registration out of the program.
    Q_INIT_RESOURCE(app_icon);
}

QIcon AppIcon()
{
    static bool Loaded = false;
    if (!Loaded) {
        LoadIconResources();
        Loaded = true;
    }
    QIcon Icon;
    for (int Size : kIconSizes) {
        const QString Path = QStringLiteral(":/marrowkin/marrowkin_%1.png").arg(Size);
        if (QFile::exists(Path))
            Icon.addFile(Path, QSize(Size, Size));
    }
    return Icon;
}

QPixmap MakeAppIconBitmap(int Size, TColor Background)
{
    if (Size <= 0)
        return QPixmap();
    QPixmap Bitmap(Size, Size);
    Bitmap.fill(ToQColor(Background));
    const QIcon Icon = AppIcon();
    if (Icon.isNull())
        return Bitmap;
    const QPixmap Picture = Icon.pixmap(QSize(Size, Size), 1.0);
    QPainter P(&Bitmap);
    P.setRenderHint(QPainter::SmoothPixmapTransform);
    P.drawPixmap(QRect(0, 0, Size, Size), Picture);
    return Bitmap;
}
