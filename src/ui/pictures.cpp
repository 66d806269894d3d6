#include "ui/pictures.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace lilan {
namespace {

// Every square picture is a tile of its own colour with a white symbol on it.
void drawTile(QPainter& p, const QRectF& r, const QColor& colour) {
    QLinearGradient shade(r.topLeft(), r.bottomLeft());
    shade.setColorAt(0, colour.lighter(125));
    shade.setColorAt(1, colour.darker(110));
    p.setPen(Qt::NoPen);
    p.setBrush(shade);
    p.drawRoundedRect(r, 10, 10);
}

QPen whitePen(qreal width) {
    return QPen(Qt::white, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void drawSave(QPainter& p, const QRectF& r) {
    drawTile(p, r, QColor(0x2f, 0x7d, 0xd1));
    const QRectF disk = r.adjusted(14, 12, -14, -12);
    p.setPen(whitePen(3));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(disk, 3, 3);
    p.setBrush(Qt::white);
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(disk.left() + 8, disk.top(), disk.width() - 16, 11));
    p.drawRoundedRect(QRectF(disk.left() + 6, disk.bottom() - 16, disk.width() - 12, 12), 2, 2);
}

void drawContact(QPainter& p, const QRectF& r) {
    drawTile(p, r, QColor(0x1f, 0xa8, 0x8a));
    QPainterPath bubble;
    bubble.addRoundedRect(r.adjusted(12, 14, -12, -20), 8, 8);
    QPainterPath tail;
    tail.moveTo(r.left() + 22, r.bottom() - 21);
    tail.lineTo(r.left() + 18, r.bottom() - 11);
    tail.lineTo(r.left() + 32, r.bottom() - 21);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(bubble.united(tail));
    p.setBrush(QColor(0x1f, 0xa8, 0x8a));
    for (int i = 0; i < 3; ++i)
        p.drawEllipse(QPointF(r.left() + 22 + i * 10, r.top() + 29), 3, 3);
}

void drawHome(QPainter& p, const QRectF& r) {
    drawTile(p, r, QColor(0xe0, 0x8a, 0x1e));
    QPainterPath roof;
    roof.moveTo(r.center().x(), r.top() + 12);
    roof.lineTo(r.right() - 11, r.top() + 32);
    roof.lineTo(r.left() + 11, r.top() + 32);
    roof.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(roof);
    p.drawRect(QRectF(r.left() + 18, r.top() + 31, r.width() - 36, 20));
    p.setBrush(QColor(0xe0, 0x8a, 0x1e));
    p.drawRect(QRectF(r.center().x() - 5, r.top() + 38, 10, 13));
}

void drawHelp(QPainter& p, const QRectF& r) {
    drawTile(p, r, QColor(0x8a, 0x4f, 0xc8));
    p.setPen(whitePen(3));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(r.center(), 20, 20);
    QFont f;
    f.setPixelSize(28);
    f.setBold(true);
    p.setFont(f);
    p.drawText(r, Qt::AlignCenter, QStringLiteral("?"));
}

void drawMore(QPainter& p, const QRectF& r) {
    drawTile(p, r, QColor(0xd2, 0x45, 0x5a));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    for (int row = 0; row < 2; ++row)
        for (int col = 0; col < 2; ++col)
            p.drawRoundedRect(QRectF(r.left() + 15 + col * 19, r.top() + 15 + row * 19, 15, 15), 3, 3);
}

void drawCollector(QPainter& p, const QRectF& r) {
    drawTile(p, r, QColor(0x3b, 0x8f, 0x3a));
    const QRectF page = r.adjusted(15, 10, -19, -10);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRoundedRect(page, 3, 3);
    p.setPen(QPen(QColor(0x3b, 0x8f, 0x3a), 2.5, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 4; ++i) {
        const qreal y = page.top() + 10 + i * 9;
        p.drawLine(QPointF(page.left() + 6, y), QPointF(page.right() - 6, y));
    }
    // A downward arrow: addresses flowing into the list.
    p.setPen(whitePen(3.5));
    const qreal x = r.right() - 11;
    p.drawLine(QPointF(x, r.top() + 18), QPointF(x, r.bottom() - 14));
    p.drawLine(QPointF(x - 5, r.bottom() - 20), QPointF(x, r.bottom() - 14));
    p.drawLine(QPointF(x + 5, r.bottom() - 20), QPointF(x, r.bottom() - 14));
}

void drawLogo(QPainter& p, const QRectF& r) {
    QLinearGradient shade(r.topLeft(), r.topRight());
    shade.setColorAt(0, QColor(0x23, 0x4e, 0x8c));
    shade.setColorAt(1, QColor(0x2f, 0x7d, 0xd1));
    p.setPen(Qt::NoPen);
    p.setBrush(shade);
    p.drawRoundedRect(r.adjusted(1, 6, -1, -6), 10, 10);
    QFont title;
    title.setPixelSize(22);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(r.adjusted(0, 8, 0, -24), Qt::AlignHCenter | Qt::AlignBottom, QStringLiteral("栎岚文摘机"));
    QFont small;
    small.setPixelSize(10);
    small.setLetterSpacing(QFont::AbsoluteSpacing, 2);
    p.setFont(small);
    p.setPen(QColor(0xdd, 0xe8, 0xf8));
    p.drawText(r.adjusted(0, 40, 0, -8), Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("LILAN DIGEST"));
}

} // namespace

QPixmap bannerPicture(BannerPicture which, int width, int height) {
    QPixmap picture(width, height);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRectF tile =
        which == BannerPicture::Logo ? QRectF(0, 0, width, height) : QRectF(6, 6, width - 12, height - 12);
    switch (which) {
    case BannerPicture::Save: drawSave(p, tile); break;
    case BannerPicture::Contact: drawContact(p, tile); break;
    case BannerPicture::Home: drawHome(p, tile); break;
    case BannerPicture::Help: drawHelp(p, tile); break;
    case BannerPicture::More: drawMore(p, tile); break;
    case BannerPicture::Logo: drawLogo(p, tile); break;
    case BannerPicture::Collector: drawCollector(p, tile); break;
    }
    return picture;
}

} // namespace lilan
