#include "anchors.h"

#include <QEvent>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

namespace {

// Lives as a child of the parent widget and re-lays the anchored children
// whenever the parent's size changes.
class TAnchorKeeper final : public QObject {
public:
    static inline const QString KeeperName = QStringLiteral("mkAnchorKeeper");

    explicit TAnchorKeeper(QWidget* Parent) : QObject(Parent), FParent(Parent)
    {
        setObjectName(KeeperName);
        Parent->installEventFilter(this);
    }

    void Set(QWidget* W, unsigned Anchors)
    {
        Remove(W);
        if ((Anchors & (akRight | akBottom)) == 0)
            return; // left/top only: the widget stays where it is anyway
        const QRect G = W->geometry();
        TEntry E;
        E.Widget = W;
        E.Anchors = Anchors;
        E.Left = G.x();
        E.Top = G.y();
        E.Right = FParent->width() - (G.x() + G.width());
        E.Bottom = FParent->height() - (G.y() + G.height());
        E.Width = G.width();
        E.Height = G.height();
        FEntries.append(E);
    }

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override
    {
        if (Watched == FParent && Event->type() == QEvent::Resize)
            Apply();
        return false;
    }

private:
    struct TEntry {
        QPointer<QWidget> Widget;
        unsigned Anchors = 0;
        int Left = 0, Top = 0, Right = 0, Bottom = 0, Width = 0, Height = 0;
    };

    void Remove(QWidget* W)
    {
        FEntries.removeIf([W](const TEntry& E) { return !E.Widget || E.Widget == W; });
    }

    // One axis: both edges anchored stretches, the far edge alone moves, the
    // near edge alone keeps the place. Sizes never go below zero.
    static void Fit(unsigned Anchors, unsigned Near, unsigned Far, int Extent, int NearGap,
                    int FarGap, int Size, int& Pos, int& NewSize)
    {
        Pos = NearGap;
        NewSize = Size;
        if ((Anchors & Near) && (Anchors & Far))
            NewSize = qMax(0, Extent - NearGap - FarGap);
        else if (Anchors & Far)
            Pos = Extent - FarGap - Size;
    }

    void Apply()
    {
        for (const TEntry& E : FEntries) {
            if (!E.Widget)
                continue;
            const QRect Old = E.Widget->geometry();
            int X = Old.x(), Y = Old.y(), W = Old.width(), H = Old.height();
            if (E.Anchors & (akLeft | akRight))
                Fit(E.Anchors, akLeft, akRight, FParent->width(), E.Left, E.Right, E.Width, X, W);
            if (E.Anchors & (akTop | akBottom))
                Fit(E.Anchors, akTop, akBottom, FParent->height(), E.Top, E.Bottom, E.Height, Y, H);
            E.Widget->setGeometry(X, Y, W, H);
        }
    }

    QWidget* FParent;
    QList<TEntry> FEntries;
};

} // namespace

void SetAnchors(QWidget* W, unsigned Anchors)
{
    if (!W || !W->parentWidget())
        return;
    QWidget* Parent = W->parentWidget();
    // Found by name: the keeper has no meta-object of its own to cast by.
    auto* Keeper = static_cast<TAnchorKeeper*>(
        Parent->findChild<QObject*>(TAnchorKeeper::KeeperName, Qt::FindDirectChildrenOnly));
    if (!Keeper)
        Keeper = new TAnchorKeeper(Parent);
    Keeper->Set(W, Anchors);
}
