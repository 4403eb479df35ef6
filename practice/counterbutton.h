// The practice window's bank button. Its caption counts the items
// ("我的生字库 3/20"); at the design width a long count would be cut off at
// both ends, so then the counter is set in a narrow face, smaller as it
// grows, and the words shrink only when even the smallest counter leaves
// them too little room. text() stays the whole caption.
#pragma once

#include <QFont>
#include <QPushButton>
#include <QString>

class CounterButton : public QPushButton
{
public:
    using QPushButton::QPushButton;

    struct Fit {
        QFont title;
        QFont counter;
        bool split = false; // false: the caption as any button draws it
        QString titleText; // "我的生字库 ", with its space
        QString counterText; // "3/20"
    };
    // Room either side between the caption and the button's edge, in pixels.
    static constexpr int margin = 3;
    static constexpr double smallestCounter = 7.0;
    static constexpr double smallestTitle = 7.0;

    // The fonts that let the caption fit the button's width.
    Fit fit() const;

protected:
    void paintEvent(QPaintEvent *event) override;
};
