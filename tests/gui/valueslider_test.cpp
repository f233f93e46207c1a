// The value-slider strip on a small panel with a duration, a fade and a level edit, as an editor lays
// them out. Users' choices in the range selector are played as QComboBox does: select, then activated().

#include "editors/valueslider.h"
#include "guitest.h"
#include "model/timecode.h"
#include "model/valueentry.h"

#include <QComboBox>
#include <QHash>
#include <QImage>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <utility>

using lumeq::EntryMode;
using lumeq::ValueSlider;

Q_DECLARE_METATYPE(EntryMode)

namespace {

const QColor kTeal(0, 128, 128);

class Panel : public QWidget {
public:
    Panel() {
        auto* layout = new QVBoxLayout(this);
        for (auto [edit, name] : {std::pair{&duration, "eDelay"}, std::pair{&fade, "eFade"},
                                  std::pair{&level, "eLevel"}, std::pair{&otherLevel, "eLevel2"}}) {
            *edit = new QLineEdit(this);
            (*edit)->setObjectName(QString::fromLatin1(name));
            (*edit)->setReadOnly(true);
            layout->addWidget(*edit);
        }
        strip = new ValueSlider(this, "pTestSlider", "sbTest", "combTest");
        layout->addWidget(strip);
    }

    bool click(EntryMode mode, int step = 0, int minLevel = 0) {
        return strip->clickEdit(lumeq::sliderTag(mode, step), duration, level, fade, minLevel);
    }
    QLineEdit* editFor(EntryMode mode) const {
        return mode == EntryMode::Level ? level : mode == EntryMode::Fade ? fade : duration;
    }
    void pickRange(int index) {
        strip->rangeSelector()->setCurrentIndex(index);
        emit strip->rangeSelector()->activated(index);
    }
    QColor textColour(QLineEdit* edit) const { return edit->palette().color(QPalette::Active, QPalette::Text); }
    QColor normalColour() const { return palette().color(QPalette::Active, QPalette::Text); }

    QLineEdit* duration = nullptr;
    QLineEdit* fade = nullptr;
    QLineEdit* level = nullptr;
    QLineEdit* otherLevel = nullptr; // an edit of another step, active before the ones given to clickEdit
    ValueSlider* strip = nullptr;
};

QStringList itemsOf(const QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) {
        items << combo->itemText(i);
    }
    return items;
}

QStringList expectedItems(EntryMode mode) {
    QStringList items;
    for (std::string_view item : lumeq::rangeItems(mode)) {
        items << QString::fromUtf8(item.data(), static_cast<qsizetype>(item.size()));
    }
    return items;
}

} // namespace

class ValueSliderTest : public QObject {
    Q_OBJECT

private slots:
    void stripParts();
    void levelActivation_data();
    void levelActivation();
    void timeActivation_data();
    void timeActivation();
    void rangeActivation_data();
    void rangeActivation();
    void sliderRule_data();
    void sliderRule();
    void rangeChoice_data();
    void rangeChoice();
    void colours_data();
    void colours();
    void unreadableText_data();
    void unreadableText();
    void refusedActivation_data();
    void refusedActivation();
    void singleEditInit_data();
    void singleEditInit();
};

void ValueSliderTest::stripParts() {
    Panel panel;
    ValueSlider* strip = panel.findChild<ValueSlider*>("pTestSlider");
    QVERIFY(strip != nullptr);
    QCOMPARE(panel.findChild<QScrollBar*>("sbTest"), strip->slider());
    QCOMPARE(panel.findChild<QComboBox*>("combTest"), strip->rangeSelector());
    QCOMPARE(strip->slider()->orientation(), Qt::Horizontal);
    QCOMPARE(strip->sizeHint().width(), ValueSlider::kDefaultWidth);
    QVERIFY(strip->sizeHint().height() >= ValueSlider::kDefaultHeight);

    // Room for the widest item beside the scroll bar.
    const QComboBox* combo = strip->rangeSelector();
    QVERIFY(combo->width() > combo->fontMetrics().horizontalAdvance("-> 15:00:00"));

    ValueSlider alone(nullptr, "p", "sb", "comb");
    QCOMPARE(alone.size(), QSize(ValueSlider::kDefaultWidth, ValueSlider::kDefaultHeight));
    const QImage picture = alone.grab().toImage();
    QCOMPARE(picture.pixelColor(1, 1), kTeal);
    QCOMPARE(picture.pixelColor(picture.width() - 2, picture.height() - 2), kTeal);
}

void ValueSliderTest::levelActivation_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("minLevel");
    QTest::addColumn<int>("startPosition");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("shown");

    QTest::newRow("dash opens at 100") << "-" << 10 << 0 << 100 << "100";
    QTest::newRow("dash with the slider already at 100") << "-" << 10 << 100 << 100 << "100";
    QTest::newRow("level below the minimum is raised") << "5" << 20 << 0 << 20 << "20";
    QTest::newRow("level below the minimum, slider already there") << "5" << 20 << 20 << 20 << "20";
    QTest::newRow("level inside the limits") << "55" << 10 << 0 << 55 << "55";
    QTest::newRow("level 100 at the top") << "100" << 0 << 30 << 100 << "100";
}

void ValueSliderTest::levelActivation() {
    QFETCH(QString, text);
    QFETCH(int, minLevel);
    QFETCH(int, startPosition);
    QFETCH(int, position);
    QFETCH(QString, shown);

    Panel panel;
    panel.strip->slider()->setRange(0, 100);
    panel.strip->slider()->setValue(startPosition);
    panel.level->setText(text);
    panel.duration->setText("00:10:00");
    panel.fade->setText("00,600");

    QVERIFY(panel.click(EntryMode::Level, 0, minLevel));
    QCOMPARE(panel.strip->activeEdit(), panel.level);
    QCOMPARE(panel.strip->mode(), EntryMode::Level);
    QCOMPARE(panel.strip->slider()->minimum(), minLevel);
    QCOMPARE(panel.strip->slider()->maximum(), 100);
    QCOMPARE(panel.strip->slider()->value(), position);
    QCOMPARE(panel.level->text(), shown);
    QVERIFY(panel.strip->rangeSelector()->isHidden());
    QCOMPARE(panel.strip->range(), lumeq::kNoRange);
    QCOMPARE(panel.duration->text(), QString("00:10:00"));
    QCOMPARE(panel.fade->text(), QString("00,600"));
}

void ValueSliderTest::timeActivation_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("shown");

    QTest::newRow("midnight") << "00:00:00" << 128 << "00:00:00";
    QTest::newRow("evening 22:00") << "22:00:00" << 104 << "22:00:00";
    QTest::newRow("morning end 09:00") << "09:00:00" << 236 << "09:00:00";
    QTest::newRow("afternoon start 15:00") << "15:00:00" << 20 << "15:00:00";
    // A text of another length reads as the "no time" code 0x80, count -128: the slider's lowest end.
    QTest::newRow("no clock text") << "0" << 20 << "15:00:00";
}

void ValueSliderTest::timeActivation() {
    QFETCH(QString, text);
    QFETCH(int, position);
    QFETCH(QString, shown);

    Panel panel;
    panel.fade->setText("00,060");
    panel.click(EntryMode::Fade); // leaves the range selector filled and shown
    panel.duration->setText(text);

    QVERIFY(panel.click(EntryMode::TimeOfDay, 3));
    QCOMPARE(panel.strip->tag(), 0x34);
    QCOMPARE(panel.strip->mode(), EntryMode::TimeOfDay);
    QCOMPARE(panel.strip->activeEdit(), panel.duration);
    QCOMPARE(panel.strip->slider()->minimum(), lumeq::kTimeOfDayMin);
    QCOMPARE(panel.strip->slider()->maximum(), lumeq::kTimeOfDayMax);
    QCOMPARE(panel.strip->slider()->value(), position);
    QCOMPARE(panel.duration->text(), shown);
    QVERIFY(panel.strip->rangeSelector()->isHidden());
    QCOMPARE(panel.fade->text(), QString("00,060"));
}

void ValueSliderTest::rangeActivation_data() {
    QTest::addColumn<EntryMode>("mode");
    QTest::addColumn<int>("step");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("priorLevel"); // level edit active before, slider at this position
    QTest::addColumn<int>("range");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("shown"); // the edit afterwards

    QTest::newRow("duration 0 in range 0") << EntryMode::Duration << 0 << "0" << 50 << 0 << 0 << "0";
    QTest::newRow("duration 59 s in range 0") << EntryMode::Duration << 0 << "00:00:59" << 50 << 0 << 59 << "00:00:59";
    QTest::newRow("duration 60 s in range 1") << EntryMode::Duration << 0 << "00:01:00" << 50 << 1 << 6 << "00:01:00";
    QTest::newRow("duration 600 s in range 2") << EntryMode::Duration << 0 << "00:10:00" << 50 << 2 << 10 << "00:10:00";
    QTest::newRow("duration 3600 s in range 3") << EntryMode::Duration << 0 << "01:00:00" << 50 << 3 << 4 << "01:00:00";
    QTest::newRow("duration 15:00:00 after a level at 100")
        << EntryMode::Duration << 0 << "15:00:00" << 100 << 3 << 60 << "15:00:00";
    // The slider already stands at 60 once the limits are 0..60: 15:45:00 (a stored 0xFF) stays on show.
    QTest::newRow("duration 15:45:00 after a level at 100 stays")
        << EntryMode::Duration << 0 << "15:45:00" << 100 << 3 << 60 << "15:45:00";
    // From position 50 the slider moves to 60 and the slider rule writes what 60 means.
    QTest::newRow("duration 15:45:00 after a level at 50 goes to 15:00:00")
        << EntryMode::Duration << 0 << "15:45:00" << 50 << 3 << 60 << "15:00:00";
    QTest::newRow("fade 00,060 in range 1") << EntryMode::Fade << 0 << "00,060" << 50 << 1 << 6 << "00,060";
    QTest::newRow("fade 54,000 after a level at 100") << EntryMode::Fade << 0 << "54,000" << 100 << 3 << 60 << "54,000";
    QTest::newRow("fade 56,700 after a level at 100 stays")
        << EntryMode::Fade << 0 << "56,700" << 100 << 3 << 60 << "56,700";
    QTest::newRow("fade of step 5 keeps its tag") << EntryMode::Fade << 5 << "03,600" << 50 << 3 << 4 << "03,600";
    QTest::newRow("delay of step 10 keeps its tag")
        << EntryMode::Duration << 10 << "00:00:30" << 30 << 0 << 30 << "00:00:30";
}

void ValueSliderTest::rangeActivation() {
    QFETCH(EntryMode, mode);
    QFETCH(int, step);
    QFETCH(QString, text);
    QFETCH(int, priorLevel);
    QFETCH(int, range);
    QFETCH(int, position);
    QFETCH(QString, shown);

    Panel panel;
    panel.level->setText(QString::number(priorLevel));
    QVERIFY(panel.click(EntryMode::Level));
    QLineEdit* edit = panel.editFor(mode);
    edit->setText(text);

    QVERIFY(panel.click(mode, step));
    QCOMPARE(panel.strip->tag(), step * 16 + static_cast<int>(mode));
    QCOMPARE(lumeq::tagStep(panel.strip->tag()), step);
    QCOMPARE(panel.strip->mode(), mode);
    QCOMPARE(panel.strip->activeEdit(), edit);
    QVERIFY(!panel.strip->rangeSelector()->isHidden());
    QCOMPARE(itemsOf(panel.strip->rangeSelector()), expectedItems(mode));
    QCOMPARE(panel.strip->rangeSelector()->currentIndex(), range);
    QCOMPARE(panel.strip->range(), range);
    QCOMPARE(panel.strip->slider()->minimum(), 0);
    QCOMPARE(panel.strip->slider()->maximum(), lumeq::kRangeSliderMax);
    QCOMPARE(panel.strip->slider()->value(), position);
    QCOMPARE(edit->text(), shown);
    QCOMPARE(panel.level->text(), QString::number(priorLevel));
}

void ValueSliderTest::sliderRule_data() {
    QTest::addColumn<EntryMode>("mode");
    QTest::addColumn<int>("step");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("shown");

    QTest::newRow("level position 37") << EntryMode::Level << 0 << "50" << 37 << "37";
    QTest::newRow("duration range 1 position 30") << EntryMode::Duration << 0 << "00:01:00" << 30 << "00:05:00";
    QTest::newRow("duration range 3 position 60") << EntryMode::Duration << 0 << "01:00:00" << 60 << "15:00:00";
    QTest::newRow("duration position 0 shows 0") << EntryMode::Duration << 0 << "00:00:30" << 0 << "0";
    QTest::newRow("fade range 0 position 5") << EntryMode::Fade << 0 << "00,010" << 5 << "00,005";
    QTest::newRow("fade of step 5 in range 3") << EntryMode::Fade << 5 << "03,600" << 2 << "01,800";
    QTest::newRow("time position 20") << EntryMode::TimeOfDay << 1 << "22:00:00" << 20 << "15:00:00";
    QTest::newRow("time position 127") << EntryMode::TimeOfDay << 1 << "22:00:00" << 127 << "23:55:00";
    QTest::newRow("time position 128") << EntryMode::TimeOfDay << 1 << "22:00:00" << 128 << "00:00:00";
    QTest::newRow("time position 236") << EntryMode::TimeOfDay << 1 << "22:00:00" << 236 << "09:00:00";
}

void ValueSliderTest::sliderRule() {
    QFETCH(EntryMode, mode);
    QFETCH(int, step);
    QFETCH(QString, text);
    QFETCH(int, position);
    QFETCH(QString, shown);

    Panel panel;
    panel.duration->setText("00:00:00");
    panel.fade->setText("0");
    panel.level->setText("50");
    QLineEdit* edit = panel.editFor(mode);
    edit->setText(text);
    QVERIFY(panel.click(mode, step));
    QHash<QLineEdit*, QString> before;
    for (QLineEdit* other : {panel.duration, panel.fade, panel.level}) {
        before.insert(other, other->text());
    }

    QSignalSpy changed(panel.strip, &ValueSlider::valueChanged);
    panel.strip->slider()->setValue(position);
    QCOMPARE(edit->text(), shown);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(panel.strip->tag(), step * 16 + static_cast<int>(mode));
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        if (it.key() != edit) {
            QCOMPARE(it.key()->text(), it.value());
        }
    }
}

void ValueSliderTest::rangeChoice_data() {
    QTest::addColumn<EntryMode>("mode");
    QTest::addColumn<QString>("startText"); // the text the edit is activated with
    QTest::addColumn<QString>("shownText"); // what the edit shows when the range is chosen
    QTest::addColumn<int>("range");
    QTest::addColumn<QString>("adjusted");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("movedTo"); // the slider moved afterwards works in the new range
    QTest::addColumn<QString>("movedText");

    QTest::newRow("00:07:35 to range 1") << EntryMode::Duration << "0"
                                         << "00:07:35" << 1 << "00:07:40" << 46 << 45 << "00:07:30";
    QTest::newRow("00:07:35 to range 2") << EntryMode::Duration << "0"
                                         << "00:07:35" << 2 << "00:08:00" << 8 << 9 << "00:09:00";
    QTest::newRow("00:07:35 to range 0") << EntryMode::Duration << "0"
                                         << "00:07:35" << 0 << "00:01:00" << 60 << 59 << "00:00:59";
    QTest::newRow("fade 00,125 to range 1") << EntryMode::Fade << "0"
                                            << "00,125" << 1 << "00,130" << 13 << 12 << "00,120";
    QTest::newRow("15:00:00 to range 2") << EntryMode::Duration << "15:00:00"
                                         << "15:00:00" << 2 << "01:00:00" << 60 << 30 << "00:30:00";
    QTest::newRow("15:45:00 stays on show at position 60") << EntryMode::Duration << "15:00:00"
                                                           << "15:45:00" << 3 << "15:45:00" << 60 << 59 << "14:45:00";
    QTest::newRow("15:45:00 moving the slider to 60 shows 15:00:00")
        << EntryMode::Duration << "0"
        << "15:45:00" << 3 << "15:00:00" << 60 << 59 << "14:45:00";
    QTest::newRow("fade 54,000 to range 0 at the same position") << EntryMode::Fade << "54,000"
                                                                 << "54,000" << 0 << "00,060" << 60 << 1 << "00,001";
}

void ValueSliderTest::rangeChoice() {
    QFETCH(EntryMode, mode);
    QFETCH(QString, startText);
    QFETCH(QString, shownText);
    QFETCH(int, range);
    QFETCH(QString, adjusted);
    QFETCH(int, position);
    QFETCH(int, movedTo);
    QFETCH(QString, movedText);

    Panel panel;
    QLineEdit* edit = panel.editFor(mode);
    edit->setText(startText);
    QVERIFY(panel.click(mode));
    edit->setText(shownText);

    QSignalSpy changed(panel.strip, &ValueSlider::valueChanged);
    panel.pickRange(range);
    QCOMPARE(edit->text(), adjusted);
    QCOMPARE(panel.strip->slider()->value(), position);
    QCOMPARE(panel.strip->range(), range);
    QCOMPARE(panel.strip->rangeSelector()->currentIndex(), range);
    QVERIFY(changed.count() >= 1);

    panel.strip->slider()->setValue(movedTo);
    QCOMPARE(edit->text(), movedText);
}

void ValueSliderTest::colours_data() {
    QTest::addColumn<EntryMode>("mode");
    QTest::newRow("level edit") << EntryMode::Level;
    QTest::newRow("duration edit") << EntryMode::Duration;
    QTest::newRow("fade edit") << EntryMode::Fade;
    QTest::newRow("time edit") << EntryMode::TimeOfDay;
}

void ValueSliderTest::colours() {
    QFETCH(EntryMode, mode);

    Panel panel;
    panel.duration->setText("00:00:00");
    panel.fade->setText("0");
    panel.level->setText("50");
    panel.otherLevel->setText("70");
    // An edit of another step was active and teal, and so was each edit of this step in turn.
    QVERIFY(panel.strip->clickEdit(lumeq::sliderTag(EntryMode::Level, 2), nullptr, panel.otherLevel, nullptr, 0));
    QCOMPARE(panel.textColour(panel.otherLevel), kTeal);
    for (EntryMode earlier : {EntryMode::Level, EntryMode::Duration, EntryMode::Fade}) {
        QVERIFY(panel.click(earlier));
    }

    QVERIFY(panel.click(mode));
    QLineEdit* edit = panel.editFor(mode);
    QCOMPARE(panel.textColour(edit), kTeal);
    for (QLineEdit* other : {panel.duration, panel.fade, panel.level, panel.otherLevel}) {
        if (other != edit) {
            QCOMPARE(panel.textColour(other), panel.normalColour());
        }
    }

    // Closing the panel: the edit loses its colour and the slider no longer writes into it.
    const QString shown = edit->text();
    panel.strip->deactivate();
    QCOMPARE(panel.strip->activeEdit(), nullptr);
    QCOMPARE(panel.textColour(edit), panel.normalColour());
    panel.strip->slider()->setValue(panel.strip->slider()->value() == 40 ? 41 : 40);
    QCOMPARE(edit->text(), shown);
}

void ValueSliderTest::unreadableText_data() {
    QTest::addColumn<EntryMode>("mode");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("onRangeChoice"); // false: on activation

    QTest::newRow("duration with letters on activation") << EntryMode::Duration << "ab:cd:ef" << false;
    QTest::newRow("fade with letters on activation") << EntryMode::Fade << "xx,yyy" << false;
    QTest::newRow("clock time with letters on activation") << EntryMode::TimeOfDay << "aa:bb:00" << false;
    QTest::newRow("duration with a letter on range choice") << EntryMode::Duration << "00:0x:10" << true;
    QTest::newRow("fade with a letter on range choice") << EntryMode::Fade << "01,2z0" << true;
}

void ValueSliderTest::unreadableText() {
    QFETCH(EntryMode, mode);
    QFETCH(QString, text);
    QFETCH(bool, onRangeChoice);

    Panel panel;
    QLineEdit* edit = panel.editFor(mode);
    QSignalSpy errors(panel.strip, &ValueSlider::conversionError);
    QSignalSpy changed(panel.strip, &ValueSlider::valueChanged);
    const QString expectedMessage = QString::fromStdString(lumeq::conversionErrorMessage(text.toStdString()));

    if (!onRangeChoice) {
        panel.level->setText("40");
        QVERIFY(panel.click(EntryMode::Level));
        changed.clear();
        edit->setText(text);

        QVERIFY(!panel.click(mode, 4));
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors.at(0).at(0).toString(), expectedMessage);
        QCOMPARE(edit->text(), text);
        QCOMPARE(panel.strip->activeEdit(), panel.level);
        QCOMPARE(panel.strip->tag(), lumeq::sliderTag(EntryMode::Level));
        QCOMPARE(panel.strip->slider()->value(), 40);
        QCOMPARE(panel.textColour(edit), panel.normalColour());
        QCOMPARE(changed.count(), 0);
        return;
    }

    edit->setText(mode == EntryMode::Duration ? "00:00:20" : "00,020");
    QVERIFY(panel.click(mode));
    changed.clear();
    edit->setText(text);

    panel.pickRange(2);
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.at(0).at(0).toString(), expectedMessage);
    QCOMPARE(edit->text(), text);
    QCOMPARE(panel.strip->slider()->value(), 20);
    QCOMPARE(panel.strip->range(), 0);
    QCOMPARE(panel.strip->rangeSelector()->currentIndex(), 0);
    QCOMPARE(changed.count(), 0);
}

void ValueSliderTest::refusedActivation_data() {
    QTest::addColumn<int>("tag");
    QTest::addColumn<bool>("withLevelEdit");

    QTest::newRow("tag without a mode") << 0x20 << true;
    QTest::newRow("tag with mode 5") << 0x25 << true;
    QTest::newRow("level mode without a level edit") << 0x21 << false;
}

void ValueSliderTest::refusedActivation() {
    QFETCH(int, tag);
    QFETCH(bool, withLevelEdit);

    Panel panel;
    panel.duration->setText("00:01:00");
    QVERIFY(panel.click(EntryMode::Duration));
    const int position = panel.strip->slider()->value();

    QVERIFY(!panel.strip->clickEdit(tag, panel.duration, withLevelEdit ? panel.level : nullptr, panel.fade, 0));
    QCOMPARE(panel.strip->tag(), lumeq::sliderTag(EntryMode::Duration));
    QCOMPARE(panel.strip->activeEdit(), panel.duration);
    QCOMPARE(panel.strip->slider()->value(), position);
    QCOMPARE(panel.duration->text(), QString("00:01:00"));
}

void ValueSliderTest::singleEditInit_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("range");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("shown");

    QTest::newRow("hold time off") << 0 << 0 << 0 << "0";
    QTest::newRow("hold time 00:05:00") << 300 << 1 << 30 << "00:05:00";
    QTest::newRow("hold time 01:00:00") << 3600 << 3 << 4 << "01:00:00";
    QTest::newRow("hold time 15:45:00 ends at position 60") << 56700 << 3 << 60 << "15:00:00";
}

void ValueSliderTest::singleEditInit() {
    QFETCH(int, value);
    QFETCH(int, range);
    QFETCH(int, position);
    QFETCH(QString, shown);

    Panel panel;
    panel.duration->setText(QString::fromStdString(lumeq::displayTime(value)));
    panel.strip->initSlider(value, EntryMode::Duration, panel.duration);

    QCOMPARE(panel.strip->activeEdit(), panel.duration);
    QCOMPARE(panel.strip->mode(), EntryMode::Duration);
    QCOMPARE(itemsOf(panel.strip->rangeSelector()), expectedItems(EntryMode::Duration));
    QCOMPARE(panel.strip->rangeSelector()->currentIndex(), range);
    QCOMPARE(panel.strip->slider()->value(), position);
    QCOMPARE(panel.duration->text(), shown);

    panel.strip->slider()->setValue(1);
    QCOMPARE(panel.duration->text(), QString::fromStdString(lumeq::displayTime(lumeq::kRangeSteps[range])));
}

LUMEQ_GUI_TEST(ValueSliderTest)
#include "valueslider_test.moc"
