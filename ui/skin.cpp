#include "ui/skin.h"

#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QXmlStreamReader>
#include <cmath>

#include "base/trace.h"

namespace zepho7::ui {

QColor ParseColor(QStringView text) {
    QStringView t = text.trimmed();
    if (t.startsWith(u'#')) {
        t = t.mid(1);
    } else if (t.startsWith(u"0x", Qt::CaseInsensitive)) {
        t = t.mid(2);
    }
    bool ok = false;
    const uint value = t.toUInt(&ok, 16);
    if (!ok || (t.size() != 6 && t.size() != 8))
        return {};
    QColor colour = QColor::fromRgb(value & 0xFFFFFF);
    if (t.size() == 8)
        colour.setAlpha(static_cast<int>(value >> 24));
    return colour;
}

Skin::Skin(QString folder) : folder_(std::move(folder)) {
    if (!folder_.endsWith(u'/'))
        folder_ += u'/';
    QFile index(folder_ + QStringLiteral("res.xml"));
    if (index.open(QIODevice::ReadOnly)) {
        QXmlStreamReader xml(&index);
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            const auto a = xml.attributes();
            if (xml.name() == u"Xml") {
                ids_.insert(a.value(QLatin1String("id")).toString(),
                            a.value(QLatin1String("file")).toString());
            } else if (xml.name() == u"Font") {
                FontSpec font;
                font.family = a.value(QLatin1String("family")).toString();
                font.pixel_size = a.value(QLatin1String("size")).toInt();
                font.bold = a.value(QLatin1String("bold")) == u"true";
                fonts_.insert(a.value(QLatin1String("id")).toInt(), font);
            }
        }
        index_loaded_ = !xml.hasError();
        if (xml.hasError())
            Z7_TRACE("skin: res.xml: %s", qPrintable(xml.errorString()));
    }
    QFile style(folder_ + QStringLiteral("style.qss"));
    if (style.open(QIODevice::ReadOnly))
        style_ = QString::fromUtf8(style.readAll());
}

QString Skin::Path(const QString& name_or_id) const {
    const auto id = ids_.find(name_or_id);
    const QString& name = id != ids_.end() ? id.value() : name_or_id;
    if (QFileInfo(name).isAbsolute())
        return name;
    QString relative = name;
    relative.replace(u'\\', u'/');
    return folder_ + relative;
}

QString Skin::ImagePath(const QString& name) const {
    QString path = Path(name);
    if (!QFileInfo::exists(path) && path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)) {
        path.chop(4);
        path += QStringLiteral(".svg");
    }
    return path;
}

QSize Skin::NaturalSize(const QString& name) const {
    const QString path = ImagePath(name);
    if (path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
        QSvgRenderer svg(path);
        return svg.isValid() ? svg.defaultSize() : QSize();
    }
    const QPixmap image(path);
    return image.isNull() ? QSize() : image.size();
}

QPixmap Skin::Pixmap(const QString& name, QSize size, qreal dpr) const {
    if (name.isEmpty() || size.isEmpty())
        return {};
    const QSize device(static_cast<int>(std::lround(size.width() * dpr)),
                       static_cast<int>(std::lround(size.height() * dpr)));
    const QString key =
        name + u'@' + QString::number(device.width()) + u'x' + QString::number(device.height());
    if (const auto hit = cache_.constFind(key); hit != cache_.constEnd())
        return hit.value();
    const QString path = ImagePath(name);
    QPixmap result;
    if (path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
        QSvgRenderer svg(path);
        if (svg.isValid()) {
            QImage image(device, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            QPainter painter(&image);
            svg.render(&painter);
            painter.end();
            result = QPixmap::fromImage(std::move(image));
        }
    } else {
        QPixmap raw(path);
        if (!raw.isNull())
            result = raw.scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    if (result.isNull()) {
        Z7_TRACE("skin: cannot load image %s", qPrintable(name));
        return {};
    }
    result.setDevicePixelRatio(dpr);
    cache_.insert(key, result);
    return result;
}

QFont Skin::Font(int index, qreal scale) const {
    QFont font;
    const auto entry = fonts_.find(index);
    if (entry == fonts_.end())
        return font;
    if (!entry->family.isEmpty())
        font.setFamilies(entry->family.split(u',', Qt::SkipEmptyParts));
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(entry->pixel_size * scale))));
    font.setBold(entry->bold);
    return font;
}

QString Skin::StyleSheet(qreal scale) const {
    static const QRegularExpression kLength(QStringLiteral("(\\d+)px"));
    QString out;
    out.reserve(style_.size());
    qsizetype last = 0;
    for (auto it = kLength.globalMatch(style_); it.hasNext();) {
        const auto m = it.next();
        out += QStringView(style_).mid(last, m.capturedStart() - last);
        const int px = m.captured(1).toInt();
        // A non-zero length never scales to nothing.
        const long scaled = px == 0 ? 0 : std::max(1L, std::lround(px * scale));
        out += QString::number(scaled) + QStringLiteral("px");
        last = m.capturedEnd();
    }
    out += QStringView(style_).mid(last);
    return out;
}

}  // namespace zepho7::ui
