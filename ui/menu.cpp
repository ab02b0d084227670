#include "ui/menu.h"

#include <QFile>
#include <QScreen>
#include <QXmlStreamReader>

#include "base/trace.h"
#include "ui/language.h"
#include "ui/skin.h"
#include "ui/window.h"

namespace zepho7::ui {

std::unique_ptr<QMenu> BuildMenu(Window& owner, const QString& file) {
    QFile input(owner.skin().Path(file));
    if (!input.open(QIODevice::ReadOnly)) {
        Z7_TRACE("ui: cannot read menu %s", qPrintable(input.fileName()));
        return nullptr;
    }
    auto menu = std::make_unique<QMenu>();
    menu->setObjectName(QStringLiteral("menu"));
    menu->setStyleSheet(owner.skin().StyleSheet(owner.Scale()));
    QXmlStreamReader xml(&input);
    Window* window = &owner;  // the connection ends with the window
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto a = xml.attributes();
        if (xml.name() == u"Separator") {
            menu->addSeparator();
        } else if (xml.name() == u"MenuElement") {
            MenuResult item{a.value(QLatin1String("name")).toString(),
                            a.value(QLatin1String("userdata")).toString(),
                            a.value(QLatin1String("text")).toString()};
            const QString id = a.value(QLatin1String("textid")).toString();
            if (!id.isEmpty() && owner.language() != nullptr) {
                if (auto text = owner.language()->Text(id))
                    item.text = *text;
            }
            QAction* action = menu->addAction(item.text);
            action->setObjectName(item.name);
            QObject::connect(action, &QAction::triggered, &owner,
                             [window, item] { window->OnMenuResult(item); });
        }
    }
    if (xml.hasError()) {
        Z7_TRACE("ui: menu %s: %s", qPrintable(input.fileName()), qPrintable(xml.errorString()));
        return nullptr;
    }
    return menu;
}

QMenu* PopupMenu(Window& owner, const QString& file, QPoint at, Qt::Alignment align) {
    std::unique_ptr<QMenu> built = BuildMenu(owner, file);
    if (!built)
        return nullptr;
    QMenu* menu = built.release();
    menu->setParent(&owner, menu->windowFlags());  // owned by the window until it closes
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const QSize size = menu->sizeHint();
    QPoint top_left = at;
    if (align & Qt::AlignRight)
        top_left.rx() -= size.width();
    if (align & Qt::AlignBottom)
        top_left.ry() -= size.height();
    menu->popup(top_left);
    return menu;
}

}  // namespace zepho7::ui
