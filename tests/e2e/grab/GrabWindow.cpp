// e2e-grab-window: an X window's pixels as the server holds them, saved as PNG, so that the
// end-to-end tests can look at the real window from outside.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QString>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fputs("usage: e2e-grab-window WINDOW_ID OUT.png\n", stderr);
        return 2;
    }
    bool isNumber = false;
    const WId window = QString::fromLocal8Bit(argv[1]).toULongLong(&isNumber, 0);
    if (!isNumber) {
        std::fprintf(stderr, "e2e-grab-window: '%s' is no window id\n", argv[1]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    int qtArgc = 1;
    QGuiApplication application(qtArgc, argv);
    QScreen* screen = QGuiApplication::primaryScreen();
    const QPixmap pixels = screen != nullptr ? screen->grabWindow(window) : QPixmap();
    if (pixels.isNull() || !pixels.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "e2e-grab-window: cannot grab window %s into %s\n", argv[1], argv[2]);
        return 1;
    }
    return 0;
}
