// Maps class and tag names to creators. The layout builder asks it for every tag; the program
// registers its own control classes here at start-up.
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <map>

namespace zepho7::ui {

class ControlFactory {
  public:
    // Creates a control owned by `parent`.
    using Creator = std::function<QWidget*(QWidget* parent)>;

    // With the toolkit's own kinds already registered (ControlFactory::BuiltinTags()).
    ControlFactory();

    // Registers or replaces a creator; names are compared without regard to case.
    void Register(const QString& class_name, Creator creator);
    [[nodiscard]] bool Has(const QString& class_name) const;
    // Nullptr when the name is unknown.
    [[nodiscard]] QWidget* Create(const QString& class_name, QWidget* parent) const;
    // Names registered after construction, in registration order.
    [[nodiscard]] const QStringList& Registered() const noexcept { return registered_; }

    [[nodiscard]] static QStringList BuiltinTags();

  private:
    std::map<QString, Creator> creators_;  // key: lower case
    QStringList registered_;
};

}  // namespace zepho7::ui
