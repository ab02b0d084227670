// The skin folder: layout files, images, fonts of the look and the style sheet. Every window
// of the program reads its files through one Skin.
#pragma once

#include <QColor>
#include <QFont>
#include <QHash>
#include <QPixmap>
#include <QString>

namespace zepho7::ui {

class Skin {
  public:
    // Points at a folder; reads its index "res.xml" when present (ids of layout files, fonts).
    explicit Skin(QString folder);

    [[nodiscard]] const QString& Folder() const noexcept { return folder_; }
    // Absolute path of a file of the skin: an id of the index ("XML_MAIN") or a relative path.
    [[nodiscard]] QString Path(const QString& name_or_id) const;
    // Whether the index was read.
    [[nodiscard]] bool IndexLoaded() const noexcept { return index_loaded_; }

    // An image of the skin at `size` logical pixels (device pixels = size * dpr). SVG files are
    // rendered at that size; raster images are scaled. A ".png" name that is missing falls
    // back to the ".svg" of the same stem. Null when the file is missing or unreadable.
    [[nodiscard]] QPixmap Pixmap(const QString& name, QSize size, qreal dpr = 1.0) const;
    // The natural size of an image in 96-DPI pixels (SVG: its view box), invalid when missing.
    [[nodiscard]] QSize NaturalSize(const QString& name) const;

    // Forgets the rendered images (after the skin's files changed).
    void ClearImageCache() const { cache_.clear(); }

    // Font number `index` of the index, with its pixel size multiplied by `scale`.
    [[nodiscard]] QFont Font(int index, qreal scale) const;
    // The style sheet "style.qss" with every "Npx" length multiplied by `scale`.
    [[nodiscard]] QString StyleSheet(qreal scale) const;

  private:
    struct FontSpec {
        QString family;
        int pixel_size = 13;
        bool bold = false;
    };
    [[nodiscard]] QString ImagePath(const QString& name) const;

    QString folder_;
    QHash<QString, QString> ids_;
    QHash<int, FontSpec> fonts_;
    QString style_;
    bool index_loaded_ = false;
    mutable QHash<QString, QPixmap> cache_;
};

// "#RRGGBB", "#AARRGGBB", "0xAARRGGBB" or "AARRGGBB"; invalid colour otherwise.
[[nodiscard]] QColor ParseColor(QStringView text);

}  // namespace zepho7::ui
