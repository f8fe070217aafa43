#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv)
{
    QApplication App(argc, argv);
    App.setApplicationName(QStringLiteral("Marrowkin"));
    QMainWindow W;
    W.show();
    return App.exec();
}
