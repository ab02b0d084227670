#include "app/notify_dispatch.h"

namespace zepho7::app {

SplitName SplitControlName(const QString& name) {
    SplitName split;
    const qsizetype cut = name.lastIndexOf(u'_');
    if (cut < 0)
        return split;
    split.prefix = name.left(cut + 1);
    const QStringView rest = QStringView(name).mid(cut + 1);
    bool digits = !rest.isEmpty() && rest.size() <= 6;
    for (const QChar c : rest)
        digits = digits && c >= u'0' && c <= u'9';
    if (digits)
        split.number = rest.toInt();
    return split;
}

bool RowMatches(MatchKind kind, const char* row_name, const QString& name, const SplitName& split) {
    const QLatin1String wanted(row_name);
    switch (kind) {
        case MatchKind::kPrefix:
            return split.number >= 0 && split.prefix.compare(wanted, Qt::CaseInsensitive) == 0;
        case MatchKind::kName:
            return name.compare(wanted, Qt::CaseInsensitive) == 0;
        case MatchKind::kExactName:
            return name == wanted;
    }
    return false;
}

}  // namespace zepho7::app
