#include "ui/builder.h"

#include <QBoxLayout>
#include <QFile>
#include <QXmlStreamReader>

#include "base/trace.h"
#include "ui/attributes.h"
#include "ui/control_factory.h"
#include "ui/controls.h"
#include "ui/skin.h"

namespace zepho7::ui {

namespace {

class Run {
  public:
    Run(Window& window, const Window::CreateCallback& callback)
        : window_(window), callback_(callback) {}

    QWidget* Document(QXmlStreamReader& xml, QWidget* parent, int depth) {
        QWidget* first = nullptr;
        // Top level: readNextStartElement would read past the end of the document.
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == u"Window" && depth == 0) {
                WindowAttributes(xml.attributes());
                QWidget* inner = Children(xml, parent, depth + 1);
                first = first ? first : inner;
            } else if (QWidget* control = Element(xml, parent, depth)) {
                first = first ? first : control;
            }
        }
        if (xml.hasError()) {
            Z7_TRACE("ui: layout error at line %lld: %s", static_cast<long long>(xml.lineNumber()),
                     qPrintable(xml.errorString()));
            return nullptr;
        }
        return first;
    }

  private:
    QWidget* Children(QXmlStreamReader& xml, QWidget* parent, int depth) {
        QWidget* first = nullptr;
        while (xml.readNextStartElement()) {
            if (QWidget* control = Element(xml, parent, depth))
                first = first ? first : control;
        }
        return first;
    }

    void WindowAttributes(const QXmlStreamAttributes& attributes) {
        for (const auto& a : attributes) {
            const QString name = a.name().toString().toLower();
            const QString value = a.value().toString();
            if (name == u"size") {
                const auto parts = value.split(u',');
                if (parts.size() == 2)
                    window_.SetBaseSize(QSize(parts[0].toInt(), parts[1].toInt()));
            } else if (name == u"caption") {
                // "left,top,right,bottom" of the drag band; only its height matters here.
                window_.SetCaptionHeight(value.section(u',', 3, 3).toInt());
            } else if (name == u"title") {
                window_.setWindowTitle(value);
            } else {
                SetAttribute(&window_, name, value);
            }
        }
    }

    // <Include source="..."/> and <Item/> are handled here; everything else is a control.
    QWidget* Element(QXmlStreamReader& xml, QWidget* parent, int depth) {
        const QString tag = xml.name().toString();
        const auto attributes = xml.attributes();
        if (tag == u"Include") {
            QFile file(window_.skin().Path(attributes.value(QLatin1String("source")).toString()));
            xml.skipCurrentElement();
            if (depth > 16 || !file.open(QIODevice::ReadOnly)) {
                Z7_TRACE("ui: cannot include %s", qPrintable(file.fileName()));
                return nullptr;
            }
            QXmlStreamReader inner(&file);
            return Document(inner, parent, depth + 1);
        }
        if (tag == u"Item") {
            AddItem(parent, attributes);
            xml.skipCurrentElement();
            return nullptr;
        }
        QWidget* control = window_.factory().Create(tag, parent);
        if (control == nullptr && callback_)
            control = callback_(tag, parent);
        if (control == nullptr) {
            Z7_TRACE("ui: unknown control <%s> skipped", qPrintable(tag));
            xml.skipCurrentElement();
            return nullptr;
        }
        if (ClassName(control).isEmpty())
            SetClassName(control, tag);
        for (const auto& a : attributes)
            SetAttribute(control, a.name().toString(), a.value().toString());
        Attach(parent, control);
        Children(xml, control, depth + 1);
        if (auto* tab = dynamic_cast<TabLayout*>(control)) {
            const QVariant selected = tab->property("z7_selectedid");
            if (selected.isValid())
                tab->SelectItem(selected.toInt());
        }
        return control;
    }

    static void AddItem(QWidget* parent, const QXmlStreamAttributes& attributes) {
        const QString text = attributes.value(QLatin1String("text")).toString();
        const QString data = attributes.value(QLatin1String("userdata")).toString();
        if (auto* combo = dynamic_cast<Combo*>(parent)) {
            combo->addItem(text, data);
        } else if (auto* list = dynamic_cast<List*>(parent)) {
            auto* item = new QListWidgetItem(text, list);  // owned by the list
            item->setData(Qt::UserRole, data);
        }
    }

    static void Attach(QWidget* parent, QWidget* control) {
        if (control->property("z7_float").toBool())
            return;  // placed by its "pos"
        if (auto* tab = dynamic_cast<TabLayout*>(parent)) {
            tab->addWidget(control);
        } else if (auto* layout = qobject_cast<QBoxLayout*>(parent->layout())) {
            // A control narrower than its column (or lower than its row) sits in the middle.
            const bool vertical = layout->direction() == QBoxLayout::TopToBottom;
            const bool bounded = vertical ? control->maximumWidth() < QWIDGETSIZE_MAX
                                          : control->maximumHeight() < QWIDGETSIZE_MAX;
            layout->addWidget(
                control, 0,
                bounded ? (vertical ? Qt::AlignHCenter : Qt::AlignVCenter) : Qt::Alignment());
        }
    }

    Window& window_;
    const Window::CreateCallback& callback_;
};

}  // namespace

QWidget* Builder::Build(const QString& file, QWidget* parent,
                        const Window::CreateCallback& callback) {
    QFile input(window_.skin().Path(file));
    if (!input.open(QIODevice::ReadOnly)) {
        Z7_TRACE("ui: cannot read layout %s", qPrintable(input.fileName()));
        return nullptr;
    }
    QXmlStreamReader xml(&input);
    return Run(window_, callback).Document(xml, parent, 0);
}

QWidget* Builder::BuildFromText(const QString& text, QWidget* parent,
                                const Window::CreateCallback& callback) {
    QXmlStreamReader xml(text);
    return Run(window_, callback).Document(xml, parent, 0);
}

}  // namespace zepho7::ui
