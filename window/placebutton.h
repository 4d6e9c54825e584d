#pragma once

#include <QPushButton>

// A source button (system time or a place) whose selection shows by more than
// its colour: selected, it carries a bold frame in its text colour and bold
// text, so it stands out just as well to a colour-blind operator or on a
// grey-scale screen.
class PlaceButton : public QPushButton
{
    Q_OBJECT
public:
    using QPushButton::QPushButton;

    static constexpr int FrameWidth = 3;
    // The frame sits this far inside the edge, clear of the focus ring.
    static constexpr int FrameInset = 2;

    void setSelected(bool selected);
    bool isSelected() const { return m_selected; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    bool m_selected = false;
};
