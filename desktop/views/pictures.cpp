#include "pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <functional>

namespace quillet {
namespace {

// A drawing gets the ink of its outlines.
using Drawing = std::function<void(QPainter&, const QColor& ink)>;

constexpr qreal kGrid = 32.0;

// Outlines: dark on a light desktop, light on a dark one.
const QColor kDarkInk(0x2b, 0x3a, 0x4f);
const QColor kLightInk(0xd8, 0xe0, 0xea);
const QColor kBlue(0x2f, 0x7f, 0xd8);
const QColor kLightBlue(0xd9, 0xea, 0xfb);
const QColor kGreen(0x2e, 0xa0, 0x4f);
const QColor kOrange(0xf0, 0x9a, 0x24);
const QColor kPaper(0xff, 0xff, 0xff);

// Renders a drawing made on the 32x32 grid at `size` logical pixels.
QPixmap render(const Drawing& draw, int size, qreal scale, const QColor& ink = kDarkInk) {
    const int pixels = qRound(size * scale);
    QPixmap pixmap(pixels, pixels);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(pixels / kGrid, pixels / kGrid);
        draw(painter, ink);
    }
    pixmap.setDevicePixelRatio(scale);
    return pixmap;
}

QIcon icon_from(const Drawing& draw, std::initializer_list<int> sizes,
                const QColor& ink = kDarkInk) {
    QIcon icon;
    for (const int size : sizes) {
        icon.addPixmap(render(draw, size, 1.0, ink));
        icon.addPixmap(render(draw, size, 2.0, ink));
    }
    return icon;
}

QPen outline(const QColor& color, qreal width = 1.6) {
    QPen pen(color, width);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::RoundCap);
    return pen;
}

void draw_phone(QPainter& p, const QRectF& body, const QColor& ink) {
    p.setPen(outline(ink));
    p.setBrush(ink);
    p.drawRoundedRect(body, 2.5, 2.5);
    p.setPen(Qt::NoPen);
    p.setBrush(kLightBlue);
    const qreal m = body.width() * 0.16;
    p.drawRect(QRectF(body.left() + m, body.top() + body.height() * 0.14, body.width() - 2 * m,
                      body.height() * 0.6));
    p.setBrush(kPaper);
    p.drawEllipse(QPointF(body.center().x(), body.bottom() - body.height() * 0.12),
                  body.width() * 0.09, body.width() * 0.09);
}

void draw_bubble(QPainter& p, const QRectF& box, const QColor& fill, bool tail_left,
                 const QColor& ink) {
    QPainterPath path;
    path.addRoundedRect(box, 5, 5);
    QPainterPath tail;
    const qreal x = tail_left ? box.left() + 6 : box.right() - 6;
    const qreal dx = tail_left ? -4 : 4;
    tail.moveTo(x - 3, box.bottom() - 1);
    tail.lineTo(x + dx, box.bottom() + 5);
    tail.lineTo(x + 3, box.bottom() - 1);
    tail.closeSubpath();
    path = path.united(tail);
    p.setPen(outline(ink, 1.4));
    p.setBrush(fill);
    p.drawPath(path);
}

void draw_arrow(QPainter& p, QPointF from, QPointF to, const QColor& color) {
    p.setPen(outline(color, 3.0));
    p.drawLine(from, to);
    const QLineF line(to, from);
    QLineF wing1 = line;
    wing1.setLength(6);
    wing1.setAngle(line.angle() + 40);
    QLineF wing2 = line;
    wing2.setLength(6);
    wing2.setAngle(line.angle() - 40);
    p.drawLine(wing1);
    p.drawLine(wing2);
}

void draw_get_sms(QPainter& p, const QColor& ink) {
    draw_phone(p, QRectF(3, 2, 13, 24), ink);
    // Letters travel from the phone to the PC.
    p.setPen(outline(ink, 1.3));
    p.setBrush(kPaper);
    p.drawRect(QRectF(17, 17, 13, 10));
    p.drawLine(QPointF(17, 17), QPointF(23.5, 22.5));
    p.drawLine(QPointF(30, 17), QPointF(23.5, 22.5));
    draw_arrow(p, QPointF(17, 6), QPointF(27, 13), kGreen);
}

void draw_new_sms(QPainter& p, const QColor& ink) {
    p.setPen(outline(ink, 1.4));
    p.setBrush(kPaper);
    QPainterPath sheet;
    sheet.moveTo(6, 3);
    sheet.lineTo(20, 3);
    sheet.lineTo(26, 9);
    sheet.lineTo(26, 29);
    sheet.lineTo(6, 29);
    sheet.closeSubpath();
    p.drawPath(sheet);
    p.drawLine(QPointF(20, 3), QPointF(20, 9));
    p.drawLine(QPointF(20, 9), QPointF(26, 9));
    p.setPen(outline(kBlue, 1.4));
    for (const qreal y : {13.0, 17.0, 21.0})
        p.drawLine(QPointF(9, y), QPointF(22, y));
    // A pen writing the message.
    p.setPen(outline(ink, 1.2));
    p.setBrush(kOrange);
    QPainterPath pen;
    pen.moveTo(30, 14);
    pen.lineTo(18, 26);
    pen.lineTo(15, 29);
    pen.lineTo(16, 25);
    pen.lineTo(28, 12);
    pen.closeSubpath();
    p.drawPath(pen);
}

void draw_reply(QPainter& p, const QColor& ink) {
    draw_bubble(p, QRectF(8, 3, 22, 16), kLightBlue, false, ink);
    QPainterPath curve;
    curve.moveTo(24, 26);
    curve.cubicTo(22, 18, 14, 17, 6, 19);
    p.setPen(outline(kBlue, 3.0));
    p.setBrush(Qt::NoBrush);
    p.drawPath(curve);
    draw_arrow(p, QPointF(10, 18.2), QPointF(5, 19.5), kBlue);
}

void draw_forward(QPainter& p, const QColor& ink) {
    draw_bubble(p, QRectF(2, 3, 22, 16), kLightBlue, true, ink);
    QPainterPath curve;
    curve.moveTo(8, 26);
    curve.cubicTo(10, 18, 18, 17, 26, 19);
    p.setPen(outline(kGreen, 3.0));
    p.setBrush(Qt::NoBrush);
    p.drawPath(curve);
    draw_arrow(p, QPointF(22, 18.2), QPointF(27, 19.5), kGreen);
}

void draw_contacts(QPainter& p, const QColor& ink) {
    // An address book with a person on its cover.
    p.setPen(outline(ink, 1.4));
    p.setBrush(kLightBlue);
    p.drawRoundedRect(QRectF(5, 3, 22, 26), 2, 2);
    p.setBrush(ink);
    for (const qreal y : {8.0, 14.0, 20.0, 26.0})
        p.drawRect(QRectF(3, y - 1, 4, 2));
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawEllipse(QPointF(17, 12), 4, 4);
    QPainterPath shoulders;
    shoulders.moveTo(9.5, 25);
    shoulders.cubicTo(10, 18, 24, 18, 24.5, 25);
    shoulders.closeSubpath();
    p.drawPath(shoulders);
}

void draw_send(QPainter& p, const QColor& ink) {
    // A paper plane on its way.
    QPainterPath plane;
    plane.moveTo(3, 15);
    plane.lineTo(29, 4);
    plane.lineTo(21, 28);
    plane.lineTo(15, 19);
    plane.closeSubpath();
    p.setPen(outline(ink, 1.4));
    p.setBrush(kLightBlue);
    p.drawPath(plane);
    QPainterPath fold;
    fold.moveTo(15, 19);
    fold.lineTo(29, 4);
    fold.lineTo(15, 26);
    fold.closeSubpath();
    p.setBrush(kBlue);
    p.drawPath(fold);
}

void draw_person(QPainter& p, QPointF head, qreal scale) {
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawEllipse(head, 4 * scale, 4 * scale);
    QPainterPath shoulders;
    shoulders.moveTo(head.x() - 7.5 * scale, head.y() + 13 * scale);
    shoulders.cubicTo(head.x() - 7 * scale, head.y() + 6 * scale, head.x() + 7 * scale,
                      head.y() + 6 * scale, head.x() + 7.5 * scale, head.y() + 13 * scale);
    shoulders.closeSubpath();
    p.drawPath(shoulders);
}

void draw_get_contacts(QPainter& p, const QColor& ink) {
    // From the phone to an address card.
    draw_phone(p, QRectF(3, 2, 12, 22), ink);
    p.setPen(outline(ink, 1.3));
    p.setBrush(kLightBlue);
    p.drawRoundedRect(QRectF(16, 14, 14, 15), 1.5, 1.5);
    draw_person(p, QPointF(23, 19), 0.6);
    draw_arrow(p, QPointF(17, 5), QPointF(27, 10), kGreen);
}

void draw_add_recipient(QPainter& p, const QColor& ink) {
    draw_person(p, QPointF(12, 11), 1.0);
    p.setPen(outline(ink, 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(24, 22), 6.5, 6.5);
    p.setPen(outline(kGreen, 3.0));
    p.drawLine(QPointF(24, 18), QPointF(24, 26));
    p.drawLine(QPointF(20, 22), QPointF(28, 22));
}

void draw_emblem(QPainter& p, const QColor& ink) {
    QLinearGradient fill(0, 0, 0, kGrid);
    fill.setColorAt(0, QColor(0x4a, 0x9c, 0xf0));
    fill.setColorAt(1, QColor(0x1f, 0x5f, 0xb0));
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(1, 1, 30, 30), 7, 7);
    draw_bubble(p, QRectF(5, 6, 22, 15), kPaper, true, ink);
    p.setPen(outline(kBlue, 1.8));
    p.drawLine(QPointF(9, 11), QPointF(23, 11));
    p.drawLine(QPointF(9, 15.5), QPointF(19, 15.5));
}

void draw_link(QPainter& p, const QColor& ink) {
    draw_phone(p, QRectF(2, 6, 10, 20), ink);
    p.setPen(outline(ink, 1.3));
    p.setBrush(kLightBlue);
    p.drawRect(QRectF(17, 7, 13, 10));
    p.setBrush(ink);
    p.drawRect(QRectF(21, 19, 5, 2));
    p.drawRect(QRectF(18, 22, 11, 2));
    p.setPen(outline(kGreen, 1.8));
    p.drawLine(QPointF(12.5, 14), QPointF(17, 14));
    p.drawLine(QPointF(12.5, 18), QPointF(17, 18));
}

Drawing drawing_of(ToolbarPicture picture) {
    switch (picture) {
        case ToolbarPicture::GetSms:
            return draw_get_sms;
        case ToolbarPicture::NewSms:
            return draw_new_sms;
        case ToolbarPicture::Reply:
            return draw_reply;
        case ToolbarPicture::Forward:
            return draw_forward;
        case ToolbarPicture::Contacts:
            return draw_contacts;
        case ToolbarPicture::Send:
            return draw_send;
        case ToolbarPicture::GetContacts:
            return draw_get_contacts;
        case ToolbarPicture::AddRecipient:
            return draw_add_recipient;
    }
    return draw_new_sms;
}

}  // namespace

QIcon toolbar_icon(ToolbarPicture picture, const QPalette& palette) {
    const bool dark = palette.color(QPalette::Window).lightness() <
                      palette.color(QPalette::WindowText).lightness();
    return icon_from(drawing_of(picture), {16, 24, 32}, dark ? kLightInk : kDarkInk);
}

QIcon application_icon() {
    return icon_from(draw_emblem, {16, 24, 32, 48, 64});
}

QPixmap about_emblem(int size, qreal scale) {
    return render(draw_emblem, size, scale);
}

QPixmap about_link_picture(int size, qreal scale) {
    return render(draw_link, size, scale);
}

namespace {
constexpr const char* kPictureProperty = "quilletToolbarPicture";
}  // namespace

void set_toolbar_picture(QAction& action, ToolbarPicture picture, const QPalette& palette) {
    action.setIcon(toolbar_icon(picture, palette));
    action.setProperty(kPictureProperty, static_cast<int>(picture));
}

void redraw_toolbar_pictures(const QList<QAction*>& actions, const QPalette& palette) {
    for (QAction* action : actions) {
        const QVariant picture = action->property(kPictureProperty);
        if (picture.isValid())
            action->setIcon(toolbar_icon(static_cast<ToolbarPicture>(picture.toInt()), palette));
    }
}

}  // namespace quillet
