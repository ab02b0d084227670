// xshot WINDOW_ID OUT.png: saves what the X server shows of a window as a PNG.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: xshot WINDOW_ID OUT.png\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    bool ok = false;
    const WId id = QString::fromLatin1(argv[1]).toULongLong(&ok, 0);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!ok || screen == nullptr)
        return 2;
    const QPixmap shot = screen->grabWindow(id);
    if (shot.isNull() || !shot.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "xshot: cannot grab window %s\n", argv[1]);
        return 1;
    }
    return 0;
}
