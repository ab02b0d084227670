// Routing of control notifications by the sender's name, as tables of rows. Control names are
// words joined by "_" with a trailing number for repeated controls ("DPI_slider_2"); a row
// matches either the name's prefix (the part up to and including the last "_", with a decimal
// number after it) or the whole name. Later panels add their rows to the window's tables.
#pragma once

#include <QString>
#include <span>

#include "ui/notify.h"

namespace zepho7::app {

enum class MatchKind {
    kPrefix,     // the prefix, without regard to case; the rest must be a decimal number
    kName,       // the whole name, without regard to case
    kExactName,  // the whole name, case included
};

// A name split at its last "_": "DPI_slider_2" is ("DPI_slider_", 2). A name without "_" has
// no prefix; a rest that is not a decimal number gives -1.
struct SplitName {
    QString prefix;
    int number = -1;
};
[[nodiscard]] SplitName SplitControlName(const QString& name);

// What a handler gets: the notification and its sender's name split.
struct Dispatched {
    const ui::Notification& notification;
    SplitName split;
};

template <class Target>
struct DispatchRow {
    MatchKind kind;
    const char* name;
    void (*handler)(Target& target, const Dispatched& what);
};

[[nodiscard]] bool RowMatches(MatchKind kind, const char* row_name, const QString& name,
                              const SplitName& split);

// Runs the first row matching the sender's name; false when none does.
template <class Target>
bool Dispatch(std::span<const DispatchRow<Target>> rows, Target& target,
              const ui::Notification& notification) {
    const SplitName split = SplitControlName(notification.sender_name);
    for (const DispatchRow<Target>& row : rows) {
        if (RowMatches(row.kind, row.name, notification.sender_name, split)) {
            row.handler(target, Dispatched{notification, split});
            return true;
        }
    }
    return false;
}

}  // namespace zepho7::app
