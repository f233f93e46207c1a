#pragma once
// After an editor's OK: what the diagram shows, what a saved file holds, what `lumeq-cli show` says and
// what the PDF report prints must agree. A test edits through the window, then asks this helper for the
// three outside views of the same image.

#include "../core/recordingpdfwriter.h"
#include "files/configfile.h"
#include "report/report.h"
#include "windowrun.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

struct RoundTrip {
    QString file;       // the saved configuration
    QJsonObject show;   // `lumeq-cli show FILE --json`
    QStringList report; // every text the report prints, in drawing order

    // Saves the window's image through its Save button, checks that the file loads back to the same 96
    // bytes, runs `lumeq-cli show --json` on it and makes the report of the image.
    static RoundTrip of(WindowRun& run) {
        RoundTrip trip;
        trip.file = run.dir.filePath(QStringLiteral("roundtrip.qcf"));
        run.dialogs.nextFile = trip.file;
        run.click(QStringLiteral("bSave"));
        QFile saved(trip.file);
        if (!saved.open(QIODevice::ReadOnly)) {
            qWarning("the configuration was not saved");
            return trip;
        }
        const QByteArray text = saved.readAll();
        const lumeq::ConfigFile parsed = lumeq::parseConfigFile(std::string(text.constData(), text.size()));
        const lumeq::Image& image = run.window->image();
        if (!parsed.isConfiguration() || !parsed.crcHolds() ||
            !std::equal(image.begin(), image.begin() + lumeq::kConfigSize, parsed.image.begin()))
            qWarning("the saved file does not hold the window's image");
        else
            trip.saved = true;

        QProcess cli;
        cli.start(qEnvironmentVariable("LUMEQ_CLI"), {QStringLiteral("show"), trip.file, QStringLiteral("--json")});
        if (cli.waitForFinished(20000) && cli.exitCode() == 0)
            trip.show = QJsonDocument::fromJson(cli.readAllStandardOutput()).object();
        else
            qWarning("lumeq-cli show failed: %s", cli.readAllStandardError().constData());

        lumeq::test::RecordingPdfWriter writer;
        const std::string error = lumeq::writeReport(writer, image, {}, {}, "01.01.2026", {});
        if (!error.empty())
            qWarning("no report: %s", error.c_str());
        for (const auto& text : writer.texts)
            trip.report << QString::fromStdString(text.text);
        return trip;
    }

    bool saved = false;

    // The value `show` gives an item: section key and item key, as in its JSON ("powerOn", "delay").
    QString item(const QString& section, const QString& key) const {
        const QJsonValue value = show.value(QStringLiteral("settings")).toObject().value(section).toObject().value(key);
        return value.isString() ? value.toString() : QStringLiteral("<no item %1.%2>").arg(section, key);
    }
    // Step `index` (0-based) of a step table of `show`: column key -> text.
    QJsonObject step(const QString& section, int index) const {
        return show.value(QStringLiteral("settings"))
            .toObject()
            .value(section)
            .toObject()
            .value(QStringLiteral("steps"))
            .toArray()
            .at(index)
            .toObject();
    }
    bool reportPrints(const QString& text) const { return report.contains(text); }
};
