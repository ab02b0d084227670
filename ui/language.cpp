#include "ui/language.h"

#include <QFile>
#include <QXmlStreamReader>

#include "base/trace.h"
#include "ui/attributes.h"
#include "ui/skin.h"

namespace zepho7::ui {

bool Language::LoadLanguage(const QString& file) {
    QFile input(skin_.Path(file));
    if (!input.open(QIODevice::ReadOnly)) {
        Z7_TRACE("ui: cannot read language file %s", qPrintable(input.fileName()));
        return false;
    }
    QXmlStreamReader xml(&input);
    QHash<QString, QString> texts;
    QString name;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"Language") {
            name = xml.attributes().value(QLatin1String("name")).toString();
        } else if (xml.name() == u"Text") {
            const QString id = xml.attributes().value(QLatin1String("id")).toString();
            texts.insert(id, xml.readElementText());
        }
    }
    if (xml.hasError()) {
        Z7_TRACE("ui: language file %s: %s", qPrintable(input.fileName()),
                 qPrintable(xml.errorString()));
        return false;
    }
    texts_ = std::move(texts);
    if (!name.isEmpty())
        name_ = name;
    return true;
}

bool Language::SetLanguage(const QString& name) {
    name_ = name;
    const bool loaded = LoadLanguage(QStringLiteral("Language/") + name + QStringLiteral(".xml"));
    name_ = name;
    return loaded;
}

std::optional<QString> Language::Text(const QString& id) const {
    if (query_) {
        if (auto text = query_(id))
            return text;
    }
    if (const auto it = texts_.find(id); it != texts_.end())
        return it.value();
    return std::nullopt;
}

void Language::ReloadText(QWidget* root) const {
    if (root == nullptr)
        return;
    QList<QWidget*> controls = root->findChildren<QWidget*>();
    controls.prepend(root);
    for (QWidget* control : controls) {
        const QString id = control->property("z7_textid").toString();
        if (!id.isEmpty())
            SetAttribute(control, QStringLiteral("textid"), id);
    }
}

}  // namespace zepho7::ui
