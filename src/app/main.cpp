#include "app/mainwindow.h"
#include "link/stickaccess.h"

#include <QApplication>
#include <QDir>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumeq Config"));
    QApplication::setApplicationVersion(QStringLiteral(LUMEQ_VERSION_TEXT));
    QGuiApplication::setDesktopFileName(QStringLiteral(LUMEQ_APP_ID));

    const QString programDir = QDir::toNativeSeparators(QCoreApplication::applicationDirPath() + QLatin1Char('/'));
    lumeq::MainWindow window(lumeq::createStickAccess(), programDir, QCoreApplication::arguments().mid(1));
    window.show();
    return QApplication::exec();
}
