#include "ui/control_factory.h"

#include "ui/attributes.h"
#include "ui/controls.h"

namespace zepho7::ui {

namespace {

template <class T, class... Args>
ControlFactory::Creator Make(const char* class_name, Args... args) {
    return [=](QWidget* parent) -> QWidget* {
        auto* control = new T(args..., parent);  // owned by `parent`
        SetClassName(control, QString::fromLatin1(class_name));
        return control;
    };
}

}  // namespace

ControlFactory::ControlFactory() {
    const auto add = [this](const char* tag, Creator creator) {
        creators_[QString::fromLatin1(tag).toLower()] = std::move(creator);
    };
    add("Control", Make<Box>("Control", Box::Kind::Plain));
    add("Container", Make<Box>("Container", Box::Kind::Plain));
    add("HorizontalLayout", Make<Box>("HorizontalLayout", Box::Kind::Horizontal));
    add("VerticalLayout", Make<Box>("VerticalLayout", Box::Kind::Vertical));
    add("TabLayout", Make<TabLayout>("TabLayout"));
    add("Button", Make<Button>("Button"));
    add("Option", Make<Option>("Option"));
    add("CheckBox", Make<Option>("CheckBox"));
    add("Label", Make<Label>("Label"));
    add("Text", Make<Label>("Text"));
    add("Edit", Make<Edit>("Edit"));
    add("Slider", Make<Slider>("Slider"));
    add("Progress", Make<Progress>("Progress"));
    add("Combo", Make<Combo>("Combo"));
    add("List", Make<List>("List"));
    add("RichEdit", Make<RichEdit>("RichEdit"));
    add("ColorPalette", Make<ColorPalette>("ColorPalette"));
}

QStringList ControlFactory::BuiltinTags() {
    return {QStringLiteral("Control"),
            QStringLiteral("Container"),
            QStringLiteral("HorizontalLayout"),
            QStringLiteral("VerticalLayout"),
            QStringLiteral("TabLayout"),
            QStringLiteral("Button"),
            QStringLiteral("Option"),
            QStringLiteral("CheckBox"),
            QStringLiteral("Label"),
            QStringLiteral("Text"),
            QStringLiteral("Edit"),
            QStringLiteral("Slider"),
            QStringLiteral("Progress"),
            QStringLiteral("Combo"),
            QStringLiteral("List"),
            QStringLiteral("RichEdit"),
            QStringLiteral("ColorPalette")};
}

void ControlFactory::Register(const QString& class_name, Creator creator) {
    creators_[class_name.toLower()] = std::move(creator);
    registered_.append(class_name);
}

bool ControlFactory::Has(const QString& class_name) const {
    return creators_.count(class_name.toLower()) != 0;
}

QWidget* ControlFactory::Create(const QString& class_name, QWidget* parent) const {
    const auto it = creators_.find(class_name.toLower());
    return it == creators_.end() ? nullptr : it->second(parent);
}

}  // namespace zepho7::ui
