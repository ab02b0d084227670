#include "app/fonts.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QStringList>

#include "base/trace.h"

namespace zepho7::app {

namespace {
constexpr size_t kDisplayFont = 1;
}

bool FontHolder::Load(const QString& program_folder, const QString& relative) {
    Release();
    const QString path = program_folder + u'/' + relative;
    if (!QFileInfo::exists(path))
        return false;
    id_ = QFontDatabase::addApplicationFont(path);
    if (id_ < 0)
        return false;
    const QStringList families = QFontDatabase::applicationFontFamilies(id_);
    family_ = families.isEmpty() ? QString() : families.first();
    Z7_TRACE("font %s: %s", qPrintable(relative), qPrintable(family_));
    return true;
}

void FontHolder::Release() {
    if (id_ >= 0)
        QFontDatabase::removeApplicationFont(id_);
    id_ = -1;
    family_.clear();
}

PrivateFonts::PrivateFonts(QString program_folder) : folder_(std::move(program_folder)) {
    (void)holders_[kDisplayFont].Load(folder_, QString::fromLatin1(kPrivateFonts[kDisplayFont]));
}

PrivateFonts::~PrivateFonts() {
    for (size_t i = holders_.size(); i-- > 0;)
        holders_[i].Release();
}

void PrivateFonts::LoadRest() {
    if (rest_loaded_)
        return;
    rest_loaded_ = true;
    for (size_t i = 0; i < holders_.size(); ++i) {
        if (i != kDisplayFont)
            (void)holders_[i].Load(folder_, QString::fromLatin1(kPrivateFonts[i]));
    }
}

}  // namespace zepho7::app
