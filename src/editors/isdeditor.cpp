#include "editors/isdeditor.h"

#include "editors/astrocalcpanel.h"
#include "editors/editorset.h"
#include "editors/valueslider.h"
#include "model/astrocalc.h"
#include "model/settings.h"
#include "model/timecode.h"
#include "files/qtext.h"

#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSvgWidget>

#include <algorithm>
#include <functional>

namespace lumeq {

namespace {

using Picture = BlockDiagram::Picture;

// Degrees in the user's locale, without trailing zeros: 7.5 is "7,5" in Germany, 12 is "12".
QString degrees(double value) {
    return QLocale().toString(value, 'g', 6);
}

// The time-zone map of the offset calculator: the 24 zones across the longitudes from 180° west to 180°
// east, the chosen zone and its meridian highlighted, and the chosen longitude as a red line. The distance
// between the meridian and the line is the offset (4 minutes per degree).
class TimeZoneMap : public QWidget {
public:
    explicit TimeZoneMap(QWidget* parent) : QWidget(parent) { setObjectName(QStringLiteral("iTimeZone")); }

    void set(int zone, double longitude) {
        zone_ = zone;
        longitude_ = longitude;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF band(0.5, 14.5, width() - 1.0, height() - 30.0);
        const auto x = [&band](double longitude) { return band.left() + (longitude + 180.0) / 360.0 * band.width(); };

        painter.fillRect(rect(), Qt::white);
        for (int zone = astrocalc::kMinUtcOffset; zone <= astrocalc::kMaxUtcOffset; ++zone) {
            const double west = std::max(-180.0, zone * 15.0 - 7.5);
            const double east = std::min(180.0, zone * 15.0 + 7.5);
            const QColor fill = zone == zone_   ? QColor(0, 128, 128, 90)
                                : zone % 2 == 0 ? QColor(0xDC, 0xE7, 0xF1)
                                                : QColor(0xEE, 0xF2, 0xF5);
            painter.fillRect(QRectF(x(west), band.top(), x(east) - x(west), band.height()), fill);
        }
        // The date line part of zone +12 lies at the west end as -12.
        painter.fillRect(QRectF(x(-180.0), band.top(), x(-172.5) - x(-180.0), band.height()),
                         zone_ == astrocalc::kMaxUtcOffset ? QColor(0, 128, 128, 90) : QColor(0xDC, 0xE7, 0xF1));
        painter.setPen(QPen(QColor(0x26, 0x32, 0x38), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(band);

        QFont small = font();
        small.setPointSizeF(7);
        painter.setFont(small);
        painter.setPen(QColor(0x54, 0x6E, 0x7A));
        for (int zone = -10; zone <= 10; zone += 2) {
            const QString text = zone > 0 ? QStringLiteral("+%1").arg(zone) : QString::number(zone);
            painter.drawText(QRectF(x(zone * 15.0) - 12, 0, 24, 13), Qt::AlignCenter, text);
        }
        painter.drawText(QRectF(band.left() + 2, band.bottom() + 1, 60, 14), Qt::AlignLeft | Qt::AlignVCenter,
                         QStringLiteral("W 180°"));
        painter.drawText(QRectF(x(0) - 20, band.bottom() + 1, 40, 14), Qt::AlignCenter, QStringLiteral("0°"));
        painter.drawText(QRectF(band.right() - 62, band.bottom() + 1, 60, 14), Qt::AlignRight | Qt::AlignVCenter,
                         QStringLiteral("E 180°"));

        // The zone's meridian, dashed, and the longitude.
        painter.setPen(QPen(QColor(0, 128, 128), 1.5, Qt::DashLine));
        const double meridian = std::clamp(zone_ * 15.0, -180.0, 180.0);
        painter.drawLine(QPointF(x(meridian), band.top()), QPointF(x(meridian), band.bottom()));
        painter.setPen(QPen(QColor(255, 0, 0), 2));
        painter.drawLine(QPointF(x(longitude_), band.top()), QPointF(x(longitude_), band.bottom()));
    }

private:
    int zone_ = 0;
    double longitude_ = 0.0;
};

} // namespace

IsdEditor::IsdEditor(EditorHost& host, QWidget* parent) : EditorPanel(host, QStringLiteral("pISD"), kPlace, parent) {
    palette::fill(this, palette::kMainGroup);
    buildWidgets();
    buildCalculator();
}

void IsdEditor::buildWidgets() {
    gbISD = addGroup(this, "gbISD", QStringLiteral("ISD  Setup "), palette::kMainGroup, QRect(4, 2, 196, 150));
    addLabel(gbISD, "lISDOffsetCaption", QStringLiteral("ISD Offset Time"), QRect(10, 22, 170, 18));
    eISDOffset = addValueEdit(gbISD, "eISDOffset", QRect(10, 42, 96, 24), [this] { eISDOffsetClick(); });
    addLabel(gbISD, "lISDOffsetUnit", QStringLiteral("HH:MM:SS"), QRect(112, 42, 76, 24));
    cbDST = new QCheckBox(QStringLiteral("DST"), gbISD);
    cbDST->setObjectName(QStringLiteral("cbDST"));
    cbDST->setGeometry(10, 76, 90, 22);
    connect(cbDST, &QCheckBox::toggled, this, [this] { cbDSTClick(); });
    bAstroCalc = new QPushButton(QStringLiteral("Calculator"), gbISD);
    bAstroCalc->setObjectName(QStringLiteral("bAstroCalc"));
    bAstroCalc->setToolTip(QStringLiteral("Offset from time zone and longitude"));
    bAstroCalc->setGeometry(10, 108, 110, 28);
    connect(bAstroCalc, &QPushButton::clicked, this, [this] { bAstroCalcClick(); });

    gbADST = addGroup(this, "gbADST", QStringLiteral("Auto DST"), palette::kSecondaryGroup, QRect(204, 2, 206, 150));
    cbADSTEnable = new QCheckBox(QStringLiteral("Enabled"), gbADST);
    cbADSTEnable->setObjectName(QStringLiteral("cbADSTEnable"));
    cbADSTEnable->setGeometry(10, 20, 96, 22);
    connect(cbADSTEnable, &QCheckBox::toggled, this, [this] { cbADSTEnableClick(); });
    bADSTCalc = new QPushButton(QStringLiteral("Calculator"), gbADST);
    bADSTCalc->setObjectName(QStringLiteral("bADSTCalc"));
    bADSTCalc->setToolTip(QStringLiteral("Length of night for a latitude and a date"));
    bADSTCalc->setGeometry(110, 17, 90, 26);
    connect(bADSTCalc, &QPushButton::clicked, this, [this] { bADSTCalcClick(); });
    Label14 = addLabel(gbADST, "Label14", QStringLiteral("Length of Night for DST Start"), QRect(10, 48, 192, 18));
    eW2S = addValueEdit(gbADST, "eW2S", QRect(10, 66, 70, 24), [this] { eW2SClick(); });
    Label15 = addLabel(gbADST, "Label15", QStringLiteral("HH:MM"), QRect(86, 66, 60, 24));
    Label16 = addLabel(gbADST, "Label16", QStringLiteral("Length of Night for DST End"), QRect(10, 96, 192, 18));
    eS2W = addValueEdit(gbADST, "eS2W", QRect(10, 114, 70, 24), [this] { eS2WClick(); });
    Label17 = addLabel(gbADST, "Label17", QStringLiteral("HH:MM"), QRect(86, 114, 60, 24));
    cbADSTEnableClick();

    addOkButton(this, "bISDOK", QRect(416, 10, 48, 44), [this] { ok(); });
    addCancelButton(this, "bISDCancel", QRect(416, 62, 48, 44), [this] { cancel(); });

    // The teal strip with the slider of the three edits.
    pISDSLider = new QFrame(this);
    pISDSLider->setObjectName(QStringLiteral("pISDSLider"));
    pISDSLider->setGeometry(4, 158, 406, 30);
    palette::fill(pISDSLider, palette::kTeal);
    sbISD = addScrollBar(pISDSLider, "sbISD", kOffsetMin, kOffsetMax, 1, QRect(6, 5, 394, 20));
    sbISD->setValue(astrocalc::kOffsetPositionZero);
    sbISD->setPageStep(6);
    connect(sbISD, &QScrollBar::valueChanged, this, [this] { sbISDChange(); });
    pISDSLider->hide();
}

void IsdEditor::buildCalculator() {
    // Over the whole editor; hidden until bAstroCalc.
    pCalc = new QFrame(this);
    pCalc->setObjectName(QStringLiteral("pCalc"));
    pCalc->setGeometry(0, 0, width(), height());
    pCalc->setFrameShape(QFrame::Panel);
    pCalc->setFrameShadow(QFrame::Raised);
    palette::fill(pCalc, palette::kSecondaryGroup);

    auto* map = new TimeZoneMap(pCalc);
    map->setGeometry(8, 8, 296, 84);
    iTimeZone = map;

    addLabel(pCalc, "lTimeZoneCaption", QStringLiteral("Time Zone"), QRect(8, 98, 200, 18));
    sbUTC = addScrollBar(pCalc, "sbUTC", astrocalc::kMinUtcOffset, astrocalc::kMaxUtcOffset, 1, QRect(8, 118, 210, 20));
    eUTC = addValueEdit(pCalc, "eUTC", QRect(224, 116, 80, 24), nullptr);
    eUTC->setText(QStringLiteral("UTC+0"));
    addLabel(pCalc, "lLongitudeCaption", QStringLiteral("Geographic Longitude"), QRect(8, 144, 200, 18));
    sbLength = addScrollBar(pCalc, "sbLength", -360, 360, 1, QRect(8, 164, 210, 20));
    sbLength->setPageStep(10);
    eLength = addValueEdit(pCalc, "eLength", QRect(224, 162, 80, 24), nullptr);
    eLength->setText(QStringLiteral("0°"));

    auto* gbOffset = addGroup(pCalc, "gbCalcOffset", QStringLiteral("Calculated Offset"), palette::kMainGroup,
                              QRect(312, 64, 150, 64));
    eOffset = addValueEdit(gbOffset, "eOffset", QRect(10, 28, 80, 24), nullptr);
    eOffset->setText(QStringLiteral("0"));
    addLabel(gbOffset, "lOffsetUnit", QStringLiteral("Min"), QRect(96, 28, 40, 24));

    addOkButton(pCalc, "bCalcOK", QRect(312, 10, 46, 44), [this] { bCalcOKClick(); });
    addCancelButton(pCalc, "bCalcCancel", QRect(364, 10, 46, 44), [this] { bCalcCancelClick(); });
    auto* bCalcHelp = new QPushButton(QStringLiteral("?"), pCalc);
    bCalcHelp->setObjectName(QStringLiteral("bCalcHelp"));
    bCalcHelp->setToolTip(QStringLiteral("Help"));
    QFont helpFont = bCalcHelp->font();
    helpFont.setBold(true);
    helpFont.setPointSize(14);
    bCalcHelp->setFont(helpFont);
    bCalcHelp->setGeometry(416, 10, 46, 44);
    connect(bCalcHelp, &QPushButton::clicked, this, [this] {
        pCalcHelp->show();
        pCalcHelp->raise();
    });

    connect(sbUTC, &QScrollBar::valueChanged, this, [this] { sbUTCChange(); });
    connect(sbLength, &QScrollBar::valueChanged, this, [this] { sbLengthChange(); });
    buildCalculatorHelp();
    pCalc->hide();
}

void IsdEditor::buildCalculatorHelp() {
    // Solar time against clock time, over the whole calculator; a click closes it.
    pCalcHelp = new QFrame(pCalc);
    pCalcHelp->setObjectName(QStringLiteral("pCalcHelp"));
    pCalcHelp->setGeometry(0, 0, pCalc->width(), pCalc->height());
    pCalcHelp->setFrameShape(QFrame::Panel);
    pCalcHelp->setFrameShadow(QFrame::Raised);
    palette::fill(pCalcHelp, Qt::white);
    pCalcHelp->setCursor(Qt::PointingHandCursor);
    iCalcHelp = new QSvgWidget(QStringLiteral(":/help/iCalcHelp.svg"), pCalcHelp);
    iCalcHelp->setObjectName(QStringLiteral("iCalcHelp"));
    iCalcHelp->setGeometry(4, 4, pCalcHelp->width() - 8, pCalcHelp->height() - 8);
    onLeftPress(pCalcHelp, [this] { pCalcHelp->hide(); });
    onLeftPress(iCalcHelp, [this] { pCalcHelp->hide(); });
    pCalcHelp->hide();
}

void IsdEditor::connectPanels(EditorSet& set) {
    astroCalc_ = set.find<AstroCalcPanel>();
}

// ---- The astro switch -----------------------------------------------------------------------------------

void IsdEditor::switchClicked(Picture which) {
    if (!imageUsable())
        return;
    if (which == Picture::sw_astro_open)
        sw_astro_openClick();
    else if (which == Picture::SW_astro_close)
        SW_astro_closeClick();
}

void IsdEditor::sw_astro_openClick() {
    // Remote DIM has taken the astro clock.
    if (diagram().remoteDimActive())
        return;
    for (const Picture picture : {Picture::Astro_dis, Picture::dm1_dis, Picture::sw_astro_open})
        diagram().hidePicture(picture);
    astro::setOn(image(), true);
}

void IsdEditor::SW_astro_closeClick() {
    for (const Picture picture : {Picture::Astro_dis, Picture::dm1_dis, Picture::sw_astro_open})
        diagram().showPicture(picture);
    astro::setOn(image(), false);
}

// ---- Opening, OK and Cancel -----------------------------------------------------------------------------

void IsdEditor::fill() {
    closeCalculators();
    pISDSLider->hide();
    // A change of the mark runs the DST rule; the offset text written next replaces its result.
    cbDST->setChecked(astro::dstOn(image()));
    eISDOffset->setText(fromStd(displayTime3(astro::offsetMinutes(image()))));
    if (astro::autoDst(image())) {
        eW2S->setText(fromStd(displayTimeHM(astro::dstStartNight(image()) * astro::kNightMinutesPerUnit * 60)));
        eS2W->setText(fromStd(displayTimeHM(astro::dstEndNight(image()) * astro::kNightMinutesPerUnit * 60)));
        cbADSTEnable->setChecked(true);
    } else {
        cbADSTEnable->setChecked(false);
        eW2S->setText(QStringLiteral("0"));
        eS2W->setText(QStringLiteral("0"));
    }
    cbADSTEnableClick();
    colourEdits(nullptr);
}

void IsdEditor::apply() {
    // Everything is read before anything is written: a text that is no time changes nothing.
    const QString offsetText = eISDOffset->text();
    const bool negative = offsetText.size() > 8; // "-HH:MM:SS"
    const QString unsignedText = negative ? offsetText.mid(1) : offsetText;
    const std::optional<int> offsetSeconds = getTime(unsignedText.toStdString());
    const std::optional<int> startMinutes = getTimeHM(eW2S->text().toStdString());
    const std::optional<int> endMinutes = getTimeHM(eS2W->text().toStdString());
    if (!offsetSeconds || !startMinutes || !endMinutes) {
        const QString bad = !offsetSeconds ? offsetText : !startMinutes ? eW2S->text() : eS2W->text();
        host().message(fromStd(conversionErrorMessage(bad.toStdString())));
        discard();
        return;
    }

    const int count = *offsetSeconds / (astro::kOffsetMinutesPerCount * 60);
    astro::setOffsetCount(image(), negative ? -count : count);
    astro::setDstOn(image(), cbDST->isChecked());
    const int start = *startMinutes / astro::kNightMinutesPerUnit;
    const int end = *endMinutes / astro::kNightMinutesPerUnit;
    if (cbADSTEnable->isChecked() && astro::isNightLength(start) && astro::isNightLength(end))
        astro::setAutoDst(image(), start, end);
    else
        astro::setAutoDst(image(), 0, 0);
    discard();
}

void IsdEditor::discard() {
    closeCalculators();
    pISDSLider->hide();
    colourEdits(nullptr);
}

void IsdEditor::closeCalculators() {
    pCalcHelp->hide();
    pCalc->hide();
    if (astroCalc_)
        astroCalc_->closeCalculator();
}

// ---- The slider and its three edits ---------------------------------------------------------------------

QLineEdit* IsdEditor::editOf(IsdSliderTag tag) const {
    switch (tag) {
    case IsdSliderTag::Offset:
        return eISDOffset;
    case IsdSliderTag::DstStart:
        return eW2S;
    case IsdSliderTag::DstEnd:
        return eS2W;
    case IsdSliderTag::None:
        break;
    }
    return nullptr;
}

void IsdEditor::positionSlider(IsdSliderTag tag, int minimum, int maximum, int position) {
    sliderTag_ = tag;
    {
        const QSignalBlocker quiet(sbISD);
        sbISD->setRange(minimum, maximum);
        sbISD->setValue(std::clamp(position, minimum, maximum));
    }
    sbISDChange();
}

void IsdEditor::sbISDChange() {
    QLineEdit* edit = editOf(sliderTag_);
    if (edit == nullptr)
        return;
    const int position = sbISD->value();
    if (sliderTag_ == IsdSliderTag::Offset)
        edit->setText(fromStd(displayTime3(astrocalc::offsetPositionMinutes(position))));
    else if (position <= kNightMin)
        edit->setText(QStringLiteral("0"));
    else
        edit->setText(fromStd(displayTimeHM(position * astro::kNightMinutesPerUnit * 60)));
}

std::optional<int> IsdEditor::offsetTextPosition() {
    const QString text = eISDOffset->text();
    const std::optional<int> position = getTime4(text.toStdString());
    if (!position)
        host().message(fromStd(conversionErrorMessage(text.toStdString())));
    return position;
}

void IsdEditor::colourEdits(QLineEdit* active) {
    for (QLineEdit* edit : {eISDOffset, eW2S, eS2W})
        ValueSlider::setEditColour(edit, edit == active);
}

void IsdEditor::eISDOffsetClick() {
    const std::optional<int> position = offsetTextPosition();
    if (!position)
        return;
    positionSlider(IsdSliderTag::Offset, kOffsetMin, kOffsetMax, *position);
    colourEdits(eISDOffset);
    pISDSLider->show();
}

void IsdEditor::eW2SClick() {
    activateNightEdit(IsdSliderTag::DstStart);
}

void IsdEditor::eS2WClick() {
    activateNightEdit(IsdSliderTag::DstEnd);
}

void IsdEditor::activateNightEdit(IsdSliderTag tag) {
    QLineEdit* edit = editOf(tag);
    const std::optional<int> minutes = getTimeHM(edit->text().toStdString());
    if (!minutes) {
        host().message(fromStd(conversionErrorMessage(edit->text().toStdString())));
        return;
    }
    // "0" gives 0, which the slider raises to 59, where the text stays "0".
    positionSlider(tag, kNightMin, kNightMax, *minutes / astro::kNightMinutesPerUnit);
    colourEdits(edit);
    pISDSLider->show();
}

void IsdEditor::handOverNightLength(IsdSliderTag field, const QString& text) {
    if (field == IsdSliderTag::DstStart || field == IsdSliderTag::DstEnd)
        editOf(field)->setText(text);
}

// ---- Daylight saving ------------------------------------------------------------------------------------

void IsdEditor::cbDSTClick() {
    // Summer time shows the offset 60 minutes earlier; the strip stays as it is.
    const std::optional<int> position = offsetTextPosition();
    if (!position)
        return;
    const int from = std::clamp(*position, kOffsetMin, kOffsetMax);
    positionSlider(IsdSliderTag::Offset, kOffsetMin, kOffsetMax,
                   astrocalc::offsetPositionAfterDst(from, cbDST->isChecked()));
}

void IsdEditor::cbADSTEnableClick() {
    const bool shown = cbADSTEnable->isChecked();
    for (QWidget* widget : std::initializer_list<QWidget*>{Label14, Label15, Label16, Label17, eW2S, eS2W, bADSTCalc})
        widget->setVisible(shown);
}

void IsdEditor::bADSTCalcClick() {
    if (astroCalc_)
        astroCalc_->openCalculator();
}

// ---- Offset calculator ----------------------------------------------------------------------------------

void IsdEditor::bAstroCalcClick() {
    pCalc->show();
    pCalc->raise();
}

void IsdEditor::sbUTCChange() {
    const int zone = sbUTC->value();
    eUTC->setText(zone < 0 ? QStringLiteral("UTC%1").arg(zone) : QStringLiteral("UTC+%1").arg(zone));
    calcOffset();
}

void IsdEditor::sbLengthChange() {
    const double longitude = sbLength->value() / 2.0;
    if (longitude < 0)
        eLength->setText(QStringLiteral("W %1°").arg(degrees(-longitude)));
    else if (longitude > 0)
        eLength->setText(QStringLiteral("E %1°").arg(degrees(longitude)));
    else
        eLength->setText(QStringLiteral("0°"));
    calcOffset();
}

void IsdEditor::calcOffset() {
    const double longitude = sbLength->value() / 2.0;
    const int minutes = astrocalc::isdOffsetMinutes(longitude, sbUTC->value());
    eOffset->setText(astrocalc::isdOffsetInRange(minutes) ? QString::number(minutes) : QStringLiteral("???"));
    static_cast<TimeZoneMap*>(iTimeZone)->set(sbUTC->value(), longitude);
}

void IsdEditor::bCalcOKClick() {
    const int minutes = astrocalc::isdOffsetMinutes(sbLength->value() / 2.0, sbUTC->value());
    if (astrocalc::isdOffsetInRange(minutes)) {
        // Place the offset as winter time, then let the DST rule take it 60 minutes earlier again.
        const bool summer = cbDST->isChecked();
        cbDST->setChecked(false);
        positionSlider(IsdSliderTag::Offset, kOffsetMin, kOffsetMax, astrocalc::offsetPosition(minutes));
        cbDST->setChecked(summer);
    }
    pCalcHelp->hide();
    pCalc->hide();
}

void IsdEditor::bCalcCancelClick() {
    pCalcHelp->hide();
    pCalc->hide();
}

} // namespace lumeq
