#include "editors/astrocalcpanel.h"

#include "editors/editorset.h"
#include "editors/isdeditor.h"
#include "model/astrocalc.h"
#include "model/timecode.h"

#include <QDateEdit>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>

#include <functional>

namespace lumeq {

namespace {

// The slider positions are half degrees.
constexpr int kLatitudeLimit = 124;  // 62° south to 62° north
constexpr int kDesignLatitude = 100; // N 50
constexpr int kHorizonMin = -12;     // -6°
constexpr int kDesignHorizon = -6;   // -3°
const QDate kDesignDate(2014, 3, 10);
const QString kDateFormat = QStringLiteral("dd.MM.yyyy");

// A number of degrees in the user's locale, without trailing zeros: -2.5 is "-2,5" in Germany.
QString degrees(double value) {
    return QLocale().toString(value, 'g', 6);
}

} // namespace

const QStringList& AstroCalcPanel::helpLines() {
    static const QStringList lines = {
        QStringLiteral("Twilight begin/end"),
        QStringLiteral("Twilight is defined according to the solar elevation angle, "),
        QStringLiteral("which is the position of the geometric center of the sun "),
        QStringLiteral("relative to the horizon. The further the Sun is below the horizon,"),
        QStringLiteral("the dimmer the twilight."),
        QStringLiteral("Civil twilight begins when the geometric center of the sun"),
        QStringLiteral("is 6° below the horizon."),
        QStringLiteral("Our default value is 3° below the horizon: at this angle  "),
        QStringLiteral("in Middle Europe the illuminance is about 20 Lux."),
    };
    return lines;
}

AstroCalcPanel::AstroCalcPanel(EditorHost& host, QWidget* parent)
    : Panel(host, QStringLiteral("pAstroCalc"), kPlace, parent) {
    palette::fill(this, palette::kSecondaryGroup);
    buildWidgets();
    buildHelp();
}

void AstroCalcPanel::buildWidgets() {
    auto* gbLoN =
        addGroup(this, "gbLoN", QStringLiteral("Lenght of Night"), palette::kMainGroup, QRect(4, 2, 302, 146));

    auto* gbLatitude =
        addGroup(gbLoN, "gbLatitude", QStringLiteral("Latitude "), palette::kSecondaryGroup, QRect(8, 20, 142, 56));
    sbLatitude = addScrollBar(gbLatitude, "sbLatitude", -kLatitudeLimit, kLatitudeLimit, 2, QRect(8, 26, 80, 18));
    sbLatitude->setValue(kDesignLatitude);
    lLatitude = addLabel(gbLatitude, "lLatitude", QStringLiteral("N 50"), QRect(94, 24, 46, 22));

    auto* gbDate = addGroup(gbLoN, "gbDate", QStringLiteral("Date"), palette::kSecondaryGroup, QRect(154, 20, 140, 56));
    DateTimePicker1 = new QDateEdit(kDesignDate, gbDate);
    DateTimePicker1->setObjectName(QStringLiteral("DateTimePicker1"));
    DateTimePicker1->setDisplayFormat(kDateFormat);
    DateTimePicker1->setCalendarPopup(true);
    DateTimePicker1->setGeometry(8, 24, 124, 24);

    auto* gbTwilight =
        addGroup(gbLoN, "gbTwilight", QStringLiteral("Twilight"), palette::kSecondaryGroup, QRect(8, 82, 142, 56));
    sbHorizon = addScrollBar(gbTwilight, "sbHorizon", kHorizonMin, 0, 2, QRect(8, 26, 80, 18));
    sbHorizon->setValue(kDesignHorizon);
    lHorizon = addLabel(gbTwilight, "lHorizon", QStringLiteral("-3"), QRect(94, 24, 46, 22));

    addLabel(gbLoN, "lLoNArrow", QStringLiteral("=>"), QRect(160, 106, 24, 24));
    eLoN = new QLineEdit(gbLoN);
    eLoN->setObjectName(QStringLiteral("eLoN"));
    eLoN->setGeometry(186, 104, 72, 26);
    eLoN->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    eLoN->setToolTip(QStringLiteral("Length of night HH:MM"));
    QFont bold = eLoN->font();
    bold.setBold(true);
    eLoN->setFont(bold);
    QPalette teal = eLoN->palette();
    teal.setColor(QPalette::Base, palette::kTeal);
    teal.setColor(QPalette::Text, Qt::white);
    eLoN->setPalette(teal);

    auto* bDSTOn = new QPushButton(QStringLiteral("Set DST Start"), this);
    bDSTOn->setObjectName(QStringLiteral("bDSTOn"));
    bDSTOn->setGeometry(312, 8, 114, 30);
    auto* bDSTOff = new QPushButton(QStringLiteral("Set DST End"), this);
    bDSTOff->setObjectName(QStringLiteral("bDSTOff"));
    bDSTOff->setGeometry(312, 44, 114, 30);
    addCancelButton(this, "bAstroCalcCancel", QRect(312, 84, 54, 44), [this] { bAstroCalcCancelClick(); });
    auto* bACHelp = new QPushButton(QStringLiteral("?"), this);
    bACHelp->setObjectName(QStringLiteral("bACHelp"));
    bACHelp->setToolTip(QStringLiteral("Help"));
    QFont helpFont = bACHelp->font();
    helpFont.setBold(true);
    helpFont.setPointSize(14);
    bACHelp->setFont(helpFont);
    bACHelp->setGeometry(372, 84, 54, 44);

    connect(bDSTOn, &QPushButton::clicked, this, [this] { bDSTOnClick(); });
    connect(bDSTOff, &QPushButton::clicked, this, [this] { bDSTOffClick(); });
    connect(bACHelp, &QPushButton::clicked, this, [this] { bACHelpClick(); });
    connect(sbLatitude, &QScrollBar::valueChanged, this, [this] { sbLatitudeChange(); });
    connect(sbHorizon, &QScrollBar::valueChanged, this, [this] { sbHorizonChange(); });
    connect(DateTimePicker1, &QDateEdit::dateChanged, this, [this] { CalcLoN(); });
}

void AstroCalcPanel::buildHelp() {
    // A sibling of the calculator, so that it may be larger; it waits below the window until asked for.
    pHelpAstroCalc = new QFrame(parentWidget());
    pHelpAstroCalc->setObjectName(QStringLiteral("pHelpAstroCalc"));
    pHelpAstroCalc->setGeometry(kHelpPlace.translated(0, kHelpShift));
    pHelpAstroCalc->setFrameShape(QFrame::Panel);
    pHelpAstroCalc->setFrameShadow(QFrame::Raised);
    palette::fill(pHelpAstroCalc, QColor(255, 255, 225));
    pHelpAstroCalc->setCursor(Qt::PointingHandCursor);
    onLeftPress(pHelpAstroCalc, [this] { hideHelp(); });
    const QStringList& lines = helpLines();
    for (int i = 0; i < lines.size(); ++i) {
        auto* line = new QLabel(lines[i], pHelpAstroCalc);
        line->setObjectName(QStringLiteral("lACHelp%1").arg(i + 1));
        line->setGeometry(12, 10 + i * 20, kHelpPlace.width() - 24, 20);
        if (i == 0) {
            QFont bold = line->font();
            bold.setBold(true);
            line->setFont(bold);
        }
        onLeftPress(line, [this] { hideHelp(); });
    }
    pHelpAstroCalc->show();
}

void AstroCalcPanel::connectPanels(EditorSet& set) {
    isd_ = set.find<IsdEditor>();
}

double AstroCalcPanel::latitude() const {
    return sbLatitude->value() / 2.0;
}

double AstroCalcPanel::twilight() const {
    return sbHorizon->value() / 2.0;
}

void AstroCalcPanel::openCalculator() {
    CalcLoN();
    show();
    raise();
}

void AstroCalcPanel::closeCalculator() {
    hideHelp();
    hide();
}

void AstroCalcPanel::sbLatitudeChange() {
    const double phi = latitude();
    lLatitude->setText(phi < 0 ? QStringLiteral("S %1").arg(degrees(-phi)) : QStringLiteral("N %1").arg(degrees(phi)));
    CalcLoN();
}

void AstroCalcPanel::sbHorizonChange() {
    lHorizon->setText(degrees(twilight()));
    CalcLoN();
}

void AstroCalcPanel::CalcLoN() {
    const QDate date = DateTimePicker1->date();
    const astrocalc::NightLength night =
        astrocalc::nightLength(latitude(), {date.year(), date.month(), date.day()}, twilight());
    switch (night.error) {
    case astrocalc::NightError::None:
        eLoN->setText(QString::fromStdString(astrocalc::nightLengthText(night.minutes)));
        break;
    case astrocalc::NightError::NoNight:
        host().message(QStringLiteral("There is no night at latitude %1 on %2: the sun does not sink to the "
                                      "twilight angle of %3°.")
                           .arg(lLatitude->text(), date.toString(kDateFormat), lHorizon->text()));
        break;
    case astrocalc::NightError::NoDay:
        host().message(QStringLiteral("There is no day at latitude %1 on %2: the sun stays below the twilight "
                                      "angle of %3°.")
                           .arg(lLatitude->text(), date.toString(kDateFormat), lHorizon->text()));
        break;
    default:
        // A date before 2000: the night length stays as it was.
        break;
    }
}

void AstroCalcPanel::bDSTOnClick() {
    handOver(true);
}

void AstroCalcPanel::bDSTOffClick() {
    handOver(false);
}

void AstroCalcPanel::handOver(bool dstStart) {
    const QString text = eLoN->text();
    const std::optional<int> minutes = getTimeHM(text.toStdString());
    if (!minutes) {
        host().message(QString::fromStdString(conversionErrorMessage(text.toStdString())));
        return;
    }
    const int rounded = astrocalc::nightLengthForDst(*minutes);
    if (isd_)
        isd_->handOverNightLength(dstStart ? IsdSliderTag::DstStart : IsdSliderTag::DstEnd,
                                  QString::fromStdString(displayTimeHM(rounded * 60)));
    closeCalculator();
}

void AstroCalcPanel::bAstroCalcCancelClick() {
    closeCalculator();
}

void AstroCalcPanel::bACHelpClick() {
    if (helpShown())
        return;
    pHelpAstroCalc->move(pHelpAstroCalc->pos() - QPoint(0, kHelpShift));
    pHelpAstroCalc->raise();
}

void AstroCalcPanel::hideHelp() {
    if (helpShown())
        pHelpAstroCalc->move(pHelpAstroCalc->pos() + QPoint(0, kHelpShift));
}

bool AstroCalcPanel::helpShown() const {
    return pHelpAstroCalc->pos() == kHelpPlace.topLeft();
}

} // namespace lumeq
