// The PDF button, the project dialog and the saved report, through the real window.

#include "app/mainwindow.h"
#include "guitest.h"
#include "windowrun.h"

#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using lumeq::MainWindow;

class PdfReportTest : public QObject {
    Q_OBJECT

    struct Run : WindowRun {
        Run() { startDemo(); }
        QWidget* panel() { return window->findChild<QWidget*>("pPdfProjectName"); }
        QLineEdit* edit(const char* name) { return window->findChild<QLineEdit*>(name); }
        void fillProject() {
            edit("eProjectName")->setText("Ortsdurchfahrt S\u00fcd");
            edit("eLuminaire")->setText("Mast 40");
            edit("eDriver")->setText("LED 40 W");
        }
    };

private slots:
    void initTestCase() { qputenv("SOURCE_DATE_EPOCH", "1709800000"); }

    void pdfButtonOpensTheProjectDialogUnderTheInterlock() {
        Run run;
        run.click("bPdf");
        QVERIFY(run.panel()->isVisible());
        QVERIFY(run.window->isFormDisabled());
        QVERIFY(run.edit("eProjectName")->hasFocus() || !QApplication::focusWindow());
        QCOMPARE(run.edit("eProjectName")->maxLength(), 50);
        QCOMPARE(run.edit("eLuminaire")->maxLength(), 25);
        QCOMPARE(run.edit("eDriver")->maxLength(), 25);
        run.click("bSave"); // blocked while the dialog is open
        QVERIFY(run.dialogs.fileDialogs.isEmpty());
        run.click("bPdfCancel");
        QVERIFY(!run.panel()->isVisible());
        QVERIFY(!run.window->isFormDisabled());
    }

    void reportIsSavedWithThePdfExtensionAndTheTextsAreKept() {
        Run run;
        run.click("bPdf");
        run.fillProject();
        run.dialogs.nextFile = run.dir.filePath("plan.txt");
        run.click("bPdfOK");
        QCOMPARE(run.dialogs.fileDialogs, QStringList{"PDF"});
        QVERIFY(run.dialogs.messages.isEmpty());
        QFile pdf(run.dir.filePath("plan.pdf"));
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QVERIFY(pdf.read(5) == "%PDF-");
        QVERIFY(!QFile::exists(run.dir.filePath("plan.txt")));
        QVERIFY(!run.panel()->isVisible());
        QVERIFY(!run.window->isFormDisabled());
        run.click("bPdf");
        QCOMPARE(run.edit("eLuminaire")->text(), QString("Mast 40"));
    }

    void cancelledSaveDialogWritesNothingAndClosesTheDialog() {
        Run run;
        run.click("bPdf");
        run.dialogs.nextFile.clear();
        run.click("bPdfOK");
        QVERIFY(!run.panel()->isVisible());
        QVERIFY(!run.window->isFormDisabled());
        QCOMPARE(QDir(run.dir.path()).entryList(QDir::Files), QStringList());
    }

    void writerErrorIsShownAndTheDialogStaysOpen() {
        Run run;
        run.click("bPdf");
        run.dialogs.nextFile = run.dir.filePath("no such folder/plan.pdf");
        run.click("bPdfOK");
        QCOMPARE(run.dialogs.messages.size(), 1);
        QVERIFY2(run.dialogs.messages.first().contains("plan.pdf"), qPrintable(run.dialogs.messages.first()));
        QVERIFY(run.panel()->isVisible());
        QVERIFY(run.window->isFormDisabled());
        run.click("bPdfCancel");
        QVERIFY(!run.window->isFormDisabled());
    }

    void commandLineMakesTheSameFileAsTheWindow() {
        const QString cli = qEnvironmentVariable("LUMEQ_CLI");
        if (cli.isEmpty())
            QSKIP("LUMEQ_CLI is not set");
        Run run; // demo mode: the default image
        run.click("bPdf");
        run.fillProject();
        run.dialogs.nextFile = run.dir.filePath("window.pdf");
        run.click("bPdfOK");
        QProcess process;
        process.start(cli, {"report", qEnvironmentVariable("LUMEQ_TEST_DATA") + "/default.qcf", "-o",
                            run.dir.filePath("cli.pdf"), "--project", "Ortsdurchfahrt S\u00fcd", "--luminaire",
                            "Mast 40", "--driver", "LED 40 W"});
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitCode(), 0);
        QFile a(run.dir.filePath("window.pdf")), b(run.dir.filePath("cli.pdf"));
        QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        const QByteArray windowBytes = a.readAll();
        QVERIFY(!windowBytes.isEmpty());
        QVERIFY(windowBytes == b.readAll());
    }
};

LUMEQ_GUI_TEST(PdfReportTest)
#include "pdfreport_test.moc"
