// Language files: user-visible texts by id. A control with "textid" shows the text of that id;
// ReloadText refreshes every such control after the language changed.
#pragma once

#include <QHash>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

namespace zepho7::ui {

class Skin;

class Language {
  public:
    // Asked first for every id; nullopt passes the id on to the language file.
    using TextQuery = std::function<std::optional<QString>(const QString& id)>;

    explicit Language(const Skin& skin) : skin_(skin) {}

    // Reads a language file (path relative to the skin folder, or absolute):
    // <Language name="English"><Text id="...">...</Text></Language>. False when it cannot be
    // read; the texts loaded before stay.
    bool LoadLanguage(const QString& file);
    // Loads "Language/<name>.xml" of the skin; the name is kept even when the file is missing.
    bool SetLanguage(const QString& name);
    [[nodiscard]] const QString& GetLanguage() const noexcept { return name_; }
    void SetTextQuery(TextQuery query) { query_ = std::move(query); }

    // The text of an id; nullopt when neither the query nor the file knows it.
    [[nodiscard]] std::optional<QString> Text(const QString& id) const;
    // Sets the text of every control under `root` (root included) that has a "textid".
    void ReloadText(QWidget* root) const;

  private:
    const Skin& skin_;
    QString name_;
    QHash<QString, QString> texts_;
    TextQuery query_;
};

}  // namespace zepho7::ui
