#include "ui/statusicons.h"

#include <QPainter>
#include <QPainterPath>

QPixmap StatusIcon(TStatusIcon Icon, int Size) {
    QPixmap Result(Size, Size);
    Result.fill(Qt::transparent);
    QPainter Painter(&Result);
    Painter.setRenderHint(QPainter::Antialiasing);
    Painter.scale(Size / 16.0, Size / 16.0);
    const QPen Stroke(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    switch (Icon) {
    case TStatusIcon::Success:
        Painter.setPen(Qt::NoPen);
        Painter.setBrush(QColor(0x2E, 0xA0, 0x43));
        Painter.drawEllipse(QRectF(1, 1, 14, 14));
        Painter.setPen(Stroke);
        Painter.drawPolyline(QPolygonF({QPointF(4.5, 8.5), QPointF(7, 11), QPointF(11.5, 5)}));
        break;
    case TStatusIcon::Failure:
        Painter.setPen(Qt::NoPen);
        Painter.setBrush(QColor(0xD9, 0x30, 0x25));
        Painter.drawEllipse(QRectF(1, 1, 14, 14));
        Painter.setPen(Stroke);
        Painter.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 10.5));
        Painter.drawLine(QPointF(10.5, 5.5), QPointF(5.5, 10.5));
        break;
    case TStatusIcon::Running:
    case TStatusIcon::ArrowRight: {
        QPainterPath Arrow;
        Arrow.moveTo(6, 2);
        Arrow.lineTo(10, 2);
        Arrow.lineTo(10, 8);
        Arrow.lineTo(13.5, 8);
        Arrow.lineTo(8, 14);
        Arrow.lineTo(2.5, 8);
        Arrow.lineTo(6, 8);
        Arrow.closeSubpath();
        if (Icon == TStatusIcon::ArrowRight) {
            Painter.translate(0, 16);
            Painter.rotate(-90);
        }
        Painter.setPen(Qt::NoPen);
        Painter.setBrush(QColor(0x1E, 0x7C, 0xFF));
        Painter.drawPath(Arrow);
        break;
    }
    case TStatusIcon::Menu:
        Painter.setPen(Qt::NoPen);
        Painter.setBrush(QColor(0x50, 0x50, 0x50));
        for (const qreal Top : {3.0, 7.0, 11.0})
            Painter.drawRoundedRect(QRectF(2, Top, 12, 2), 1, 1);
        break;
    case TStatusIcon::Exit: {
        const QColor Grey(0x50, 0x50, 0x50);
        Painter.setPen(QPen(Grey, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        Painter.drawPolyline(QPolygonF({QPointF(9, 4), QPointF(9, 2), QPointF(2, 2), QPointF(2, 14),
                                        QPointF(9, 14), QPointF(9, 12)}));
        Painter.drawLine(QPointF(6, 8), QPointF(14, 8));
        Painter.drawPolyline(QPolygonF({QPointF(11.5, 5.5), QPointF(14, 8), QPointF(11.5, 10.5)}));
        break;
    }
    }
    return Result;
}
