// Save and Load through the real window, with the dialogs answered by the test.

#include "app/mainwindow.h"
#include "files/configfile.h"
#include "guitest.h"
#include "model/image.h"
#include "model/layout.h"
#include "roundtrip.h"
#include "windowrun.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

using lumeq::Image;
using lumeq::MainWindow;

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QString dataFile(const char* name) {
    return qEnvironmentVariable("LUMEQ_TEST_DATA") + "/" + name;
}

// A configuration unlike the default one: DALI output, every astro data byte set.
Image sampleImage() {
    Image image = lumeq::defaultImage();
    image[lumeq::img::Flags] = 0x0D;
    image[lumeq::img::MinLevel] = 17;
    for (std::size_t i = 0; i < lumeq::img::AstroDataCount; ++i)
        image[lumeq::img::AstroData + i] = std::uint8_t(0x11 * (i + 1));
    return image;
}

} // namespace

class FilesTest : public QObject {
    Q_OBJECT

    struct Run : WindowRun {
        void start(const QStringList& parameters = {}) { startDemo(parameters); }
        QLineEdit* info() { return window->findChild<QLineEdit*>("eInfo"); }
        // Loads `bytes` as a file through the Load button.
        void load(const QByteArray& bytes) {
            const QString path = dir.filePath("in.qcf");
            writeAll(path, bytes);
            dialogs.nextFile = path;
            click("bLoad");
        }
        void setImage(const Image& image) {
            const QString path = dir.filePath("setup.qcf");
            QVERIFY(lumeq::saveConfigFile(path, image, "").ok);
            dialogs.nextFile = path;
            click("bLoad");
            dialogs.messages.clear();
        }
    };

private slots:
    void saveWritesTheExampleFileOfTheDefaultImage() {
        Run run;
        run.start();
        run.dialogs.nextFile = run.dir.filePath("out.qcf");
        run.click("bSave");
        QCOMPARE(run.dialogs.fileDialogs, QStringList{"Configuration Save"});
        QCOMPARE(readAll(run.dialogs.nextFile), readAll(dataFile("default.qcf")));
        QVERIFY(run.dialogs.messages.isEmpty());
    }

    void saveAndLoadRoundTripWithTheInfoText() {
        Run run;
        run.start({"-copyAstro"});
        const Image image = sampleImage();
        run.setImage(image);
        QCOMPARE(run.window->image(), [&] {
            Image expected = image;
            std::fill(expected.begin() + 96, expected.end(), 0xFF);
            return expected;
        }());
        run.info()->setText("Street 12 north"); // only 8 characters go into the file
        run.dialogs.nextFile = run.dir.filePath("round.qcf");
        run.click("bSave");
        run.info()->setText("x");
        run.click("bLoad");
        QCOMPARE(run.info()->text(), QString("Street 1"));
        QVERIFY(std::equal(image.begin(), image.begin() + 96, run.window->image().begin()));
    }

    void loadClearsTheAstroDataUnlessCopyAstro_data() {
        QTest::addColumn<QStringList>("parameters");
        QTest::addColumn<bool>("kept");
        QTest::newRow("plain") << QStringList() << false;
        QTest::newRow("-copyAstro") << QStringList{"-copyAstro"} << true;
    }
    void loadClearsTheAstroDataUnlessCopyAstro() {
        QFETCH(QStringList, parameters);
        QFETCH(bool, kept);
        Run run;
        run.start(parameters);
        run.load(QByteArray::fromStdString(lumeq::formatConfigFile(sampleImage(), "A")));
        for (std::size_t i = 0; i < lumeq::img::AstroDataCount; ++i)
            QCOMPARE(run.window->image()[lumeq::img::AstroData + i], kept ? std::uint8_t(0x11 * (i + 1)) : 0);
        QCOMPARE(run.window->image()[lumeq::img::MinLevel], std::uint8_t(17));
    }

    void refusedOrBadFilesChangeNothing_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("parameters");
        QTest::addColumn<QStringList>("messages");
        QByteArray corrupted = QByteArray::fromStdString(lumeq::formatConfigFile(sampleImage(), "BAD"));
        corrupted[12] = corrupted[12] == '0' ? '1' : '0'; // one digit of the first data line
        QTest::newRow("corrupted") << corrupted << QStringList() << QStringList{"File is corrupted!"};
        QTest::newRow("not a configuration") << QByteArray("hello\r\nworld\r\n") << QStringList()
                                             << QStringList{"Not a configuration or firmware file!"};
        QTest::newRow("one line only") << QByteArray("MMN8A1C\r\n") << QStringList() << QStringList();
        QTest::newRow("empty") << QByteArray() << QStringList() << QStringList();
        // A firmware container whose length field says 0 holds no firmware.
        QTest::newRow("firmware of length 0") << QByteArray("FWX0000\r\n00\r\n") << QStringList()
                                              << QStringList{"File is corrupted!"};
    }
    void refusedOrBadFilesChangeNothing() {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, parameters);
        QFETCH(QStringList, messages);
        Run run;
        run.start(parameters);
        run.setImage(sampleImage());
        run.info()->setText("keep");
        const Image before = run.window->image();
        run.load(content);
        QCOMPARE(run.dialogs.messages, messages);
        QCOMPARE(run.window->image(), before);
        QCOMPARE(run.info()->text(), QString("keep"));
    }

    void corruptedFileLoadsWithNoLoadCheck() {
        Run run;
        run.start({"-noLoadCheck"});
        QByteArray corrupted = QByteArray::fromStdString(lumeq::formatConfigFile(sampleImage(), "BAD"));
        corrupted[3] = corrupted[3] == '0' ? '1' : '0'; // the stored CRC
        run.load(corrupted);
        QVERIFY(run.dialogs.messages.isEmpty());
        QCOMPARE(run.window->image()[lumeq::img::MinLevel], std::uint8_t(17));
        QCOMPARE(run.info()->text(), QString("BAD"));
    }

    void oldFormatWarnsThenLoads() {
        Run run;
        run.start();
        run.dialogs.nextFile = dataFile("old_format_mem_lowercase_lf.qcf");
        run.click("bLoad");
        QCOMPARE(run.dialogs.messages, QStringList{"Old Format: Please check Parameter!"});
        const lumeq::ConfigFile file = lumeq::parseConfigFile(readAll(run.dialogs.nextFile).toStdString());
        QVERIFY(file.crcHolds());
        QVERIFY(std::equal(file.image.begin(), file.image.begin() + 76, run.window->image().begin()));
    }

    void saveFailureIsReported() {
        Run run;
        run.start();
        run.dialogs.nextFile = run.dir.filePath("missing-folder/out.qcf");
        run.click("bSave");
        QCOMPARE(run.dialogs.messages.size(), 1);
        QVERIFY(run.dialogs.messages.first().contains("out.qcf"));
    }

    void loadedImageIsDrawn() {
        Run run;
        run.start();
        Image image = lumeq::defaultImage();
        image[lumeq::img::Flags] = 0x0D; // DALI
        run.load(QByteArray::fromStdString(lumeq::formatConfigFile(image, "")));
        QVERIFY(!run.window->findChild<QWidget*>("Dali")->isHidden());
    }

    void buttonsDoNothingWhileAnEditorIsOpen() {
        Run run;
        run.start();
        run.window->setFormDisabled(true);
        run.dialogs.nextFile = run.dir.filePath("out.qcf");
        run.click("bSave");
        run.click("bLoad");
        QVERIFY(run.dialogs.fileDialogs.isEmpty());
        QVERIFY(!QFile::exists(run.dialogs.nextFile));
    }

    void cancelledDialogsDoNothing() {
        Run run;
        run.start();
        run.dialogs.nextFile.clear();
        const Image before = run.window->image();
        run.click("bSave");
        run.click("bLoad");
        QCOMPARE(run.dialogs.fileDialogs.size(), 2);
        QCOMPARE(run.window->image(), before);
        QVERIFY(run.dialogs.messages.isEmpty());
    }

    // The output editor's OK, then the diagram, the saved file, lumeq-cli show and the report agree.
    void outputEditorRoundTrip() {
        Run run;
        run.start();
        QTest::mouseClick(run.find("iTen"), Qt::LeftButton);
        QTest::mouseClick(run.find("eMinLevel"), Qt::LeftButton);
        run.find<QScrollBar>("sbMinLevel")->setValue(35);
        run.click("bOutput_OK");
        QCOMPARE(run.find<QLabel>("lMinLevel")->text(), QString("Min. Level=35%"));
        const RoundTrip trip = RoundTrip::of(run);
        QVERIFY(trip.saved);
        QCOMPARE(trip.item("output", "minimumLevel"), QString("35 %"));
        QCOMPARE(trip.item("output", "type"), QString("Analog 1-10V"));
        QVERIFY(trip.reportPrints("Min. level= 35%"));
        QVERIFY(trip.reportPrints("Analog 1-10V"));
    }
};

LUMEQ_GUI_TEST(FilesTest)
#include "files_test.moc"
