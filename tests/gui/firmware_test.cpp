// The firmware branch of Load where no stick is: demo mode takes a firmware file but shows no symbol.

#include "app/mainwindow.h"
#include "files/firmwarecontainer.h"
#include "guitest.h"
#include "windowrun.h"

#include <QFile>
#include <QtTest>

class FirmwareTest : public QObject {
    Q_OBJECT

private slots:
    void firmwareFileInDemoMode() {
        WindowRun run;
        run.startDemo();
        const QString path = run.dir.filePath("update.qfw");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray::fromStdString(lumeq::formatFirmwareContainer(std::vector<std::uint8_t>(300, 0x21), 9)));
        file.close();
        const lumeq::Image image = run.window->image();
        run.dialogs.nextFile = path;
        run.click("bLoad");
        QVERIFY(run.dialogs.messages.isEmpty());
        const lumeq::FirmwareState& firmware = run.window->firmwareState();
        QVERIFY(firmware.fwUpdatePending);
        QCOMPARE(firmware.fwLength, std::size_t(300));
        QCOMPARE(int(firmware.fwVersion), 9);
        QVERIFY(!run.find("iFW")->isVisible());
        QCOMPARE(run.window->image(), image); // the configuration is not touched

        // A header alone stops without a word, as for configuration files; a wrong CRC is refused.
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("FWX012C0912AB\r\n");
        file.close();
        run.click("bLoad");
        QVERIFY(run.dialogs.messages.isEmpty());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("FWX012C0912AB\r\n00\r\n");
        file.close();
        run.click("bLoad");
        QCOMPARE(run.dialogs.messages, QStringList{"File is corrupted!"});
        QCOMPARE(int(firmware.fwVersion), 9);
    }
};

LUMEQ_GUI_TEST(FirmwareTest)
#include "firmware_test.moc"
