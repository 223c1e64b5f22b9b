#pragma once

#include <QLabel>
#include <algorithm>
#include <initializer_list>

namespace kx {

// Group boxes lay out their rows independently, so the fields of one group do
// not line up with those of the next. Giving every caption the width of the
// widest one puts all fields of a dialog on one vertical line, whatever the
// font and the translation make of the texts.
inline void alignCaptionColumn(std::initializer_list<QLabel*> captions, Qt::Alignment alignment) {
    int width = 0;
    for (const QLabel* caption : captions)
        width = std::max(width, caption->sizeHint().width());
    for (QLabel* caption : captions) {
        caption->setMinimumWidth(width);
        caption->setAlignment(alignment | Qt::AlignVCenter);
    }
}

} // namespace kx
