// The practice card's item label: a pinyin item's toned a's are drawn on the
// single-storey ɑ of the face (pinyinglyphs), like the ɑ of an untoned item.
// The caption stays the item's display form; only the drawing differs.
#pragma once

#include "widgets/ui.h"

class CardLabel : public ui::ClickLabel
{
    Q_OBJECT
public:
    using ui::ClickLabel::ClickLabel;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};
