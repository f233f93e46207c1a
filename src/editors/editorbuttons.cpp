#include "editors/editorbuttons.h"

#include <QPainter>
#include <QPixmap>
#include <QPushButton>

namespace lumeq {

namespace {

// Draws an icon at a few sizes so that it stays sharp on high-density screens.
template <typename Draw> QIcon drawnIcon(Draw draw) {
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        draw(painter, static_cast<qreal>(size));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace

QIcon okButtonIcon() {
    return drawnIcon([](QPainter& painter, qreal s) {
        QPen pen(QColor(0, 140, 60), s * 0.16, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        painter.setPen(pen);
        const QPointF tick[] = {{s * 0.18, s * 0.54}, {s * 0.42, s * 0.78}, {s * 0.84, s * 0.24}};
        painter.drawPolyline(tick, 3);
    });
}

QIcon cancelButtonIcon() {
    return drawnIcon([](QPainter& painter, qreal s) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(205, 30, 30));
        painter.drawEllipse(QRectF(s * 0.06, s * 0.06, s * 0.88, s * 0.88));
        painter.setBrush(Qt::white);
        painter.drawRoundedRect(QRectF(s * 0.22, s * 0.42, s * 0.56, s * 0.16), s * 0.03, s * 0.03);
    });
}

QPushButton* makeEditorButton(QWidget* parent, const char* name, EditorButton kind, const QString& tip, int iconSize) {
    auto* button = new QPushButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setIcon(kind == EditorButton::Ok ? okButtonIcon() : cancelButtonIcon());
    button->setIconSize(QSize(iconSize, iconSize));
    button->setToolTip(tip);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

} // namespace lumeq
