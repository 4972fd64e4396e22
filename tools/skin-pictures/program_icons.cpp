#include "program_icons.h"

#include "paint_kit.h"

#include <QDir>

QString programIconFileName(int size) {
    return QStringLiteral("quillmet-fennaro-%1.png").arg(size);
}

QImage programIcon(int size) {
    QImage icon = makeCanvas(size, size);
    QPainter painter(&icon);
    prepare(painter);
    // Desktop icons keep a small margin, so the mark lines up with its neighbours in a launcher;
    // a faint shadow below lifts it off light and dark panels alike.
    const qreal margin = size / 16.0;
    const QRectF box(margin, margin, size - 2 * margin, size - 2 * margin);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(10, 30, 50, 45));
    const qreal radius = box.width() * 0.24;
    painter.drawRoundedRect(box.translated(0, size / 64.0), radius, radius);
    drawLogoMark(painter, box);
    return icon;
}

QStringList writeProgramIcons(const QString& dir) {
    QStringList failed;
    const QDir out(dir);
    for (int size : kProgramIconSizes) {
        const QString name = programIconFileName(size);
        if (!savePicture(programIcon(size), out.filePath(name)))
            failed.append(name);
    }
    return failed;
}
