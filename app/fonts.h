// The program's private fonts: registered for this process only, from the program's "Font"
// folder. Files are registered by path, so the font engine maps them instead of copying them.
#pragma once

#include <QString>
#include <array>

namespace zepho7::app {

class FontHolder {
  public:
    FontHolder() = default;
    ~FontHolder() { Release(); }
    FontHolder(const FontHolder&) = delete;
    FontHolder& operator=(const FontHolder&) = delete;

    // Registers "<program folder>/<relative>". False when the file is missing or rejected;
    // nothing is reported and start-up goes on.
    bool Load(const QString& program_folder, const QString& relative);
    void Release();
    [[nodiscard]] bool Loaded() const noexcept { return id_ >= 0; }
    [[nodiscard]] const QString& Family() const noexcept { return family_; }

  private:
    int id_ = -1;
    QString family_;
};

// The four fonts in loading order; released in reverse order.
inline constexpr std::array<const char*, 4> kPrivateFonts = {
    "Font/wqy-microhei.ttc",            // Simplified Chinese
    "Font/LeagueSpartan-Regular.otf",   // display face of the title and headings
    "Font/NotoSansThaiUI-Regular.ttf",  // Thai
    "Font/NotoSansCJK-Regular.ttc",     // Traditional Chinese
};

class PrivateFonts {
  public:
    // The display font at once (the window uses it); the others are loaded by LoadRest.
    explicit PrivateFonts(QString program_folder);
    ~PrivateFonts();
    PrivateFonts(const PrivateFonts&) = delete;
    PrivateFonts& operator=(const PrivateFonts&) = delete;

    // Loads the fonts not loaded yet (called once the window is up).
    void LoadRest();
    [[nodiscard]] const FontHolder& Holder(size_t index) const { return holders_[index]; }

  private:
    QString folder_;
    std::array<FontHolder, kPrivateFonts.size()> holders_;
    bool rest_loaded_ = false;
};

}  // namespace zepho7::app
