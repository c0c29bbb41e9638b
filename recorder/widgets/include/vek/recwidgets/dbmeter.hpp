// A level meter of green, yellow and red cells with a panel bevel.
//
// Position is a level on a scale made of three zones: GreenMax units shown by
// Greens cells, then YellowMax units by Yellows cells, then RedMax units by
// Reds cells. The picture is composed in an off-screen image of the control's
// size, owned by the meter, and copied in one step; every setter repaints at
// once when the value changes and does nothing when it does not.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "vek/recwidgets/colorref.hpp"

#include <QImage>
#include <QWidget>

enum class TPanelBevel { bvNone, bvLowered, bvRaised };
enum class Tdbmeterstyle { dsVertical, dsHorizontal };
enum class Tdbmeterdirection { ddRightDown, ddLeftUp };

class Tdbmeter : public QWidget {
    Q_OBJECT
public:
    using TPanelBevel = ::TPanelBevel;
    using Tdbmeterstyle = ::Tdbmeterstyle;
    using Tdbmeterdirection = ::Tdbmeterdirection;

    explicit Tdbmeter(QWidget* parent = nullptr);

    void setBevelStyle(TPanelBevel b);
    TPanelBevel bevelStyle() const { return m_bevelStyle; }
    // 0, and a width beyond a third of the width or height, are stored as 1.
    void setBevelWidth(int w);
    int bevelWidth() const { return m_bevelWidth; }
    void setGreenColor(ColorRef c);
    ColorRef greenColor() const { return m_greenColor; }
    void setYellowColor(ColorRef c);
    ColorRef yellowColor() const { return m_yellowColor; }
    void setRedColor(ColorRef c);
    ColorRef redColor() const { return m_redColor; }
    void setGreenBack(ColorRef c);
    ColorRef greenBack() const { return m_greenBack; }
    void setYellowBack(ColorRef c);
    ColorRef yellowBack() const { return m_yellowBack; }
    void setRedBack(ColorRef c);
    ColorRef redBack() const { return m_redBack; }
    void setGreens(int n);
    int greens() const { return m_greens; }
    void setYellows(int n);
    int yellows() const { return m_yellows; }
    void setReds(int n);
    int reds() const { return m_reds; }
    void setGreenMax(int v);
    int greenMax() const { return m_greenMax; }
    void setYellowMax(int v);
    int yellowMax() const { return m_yellowMax; }
    void setRedMax(int v);
    int redMax() const { return m_redMax; }
    void setShowJustOne(bool b);
    bool showJustOne() const { return m_showJustOne; }
    void setSepWidth(int w);
    int sepWidth() const { return m_sepWidth; }
    void setSepColor(ColorRef c);
    ColorRef sepColor() const { return m_sepColor; }
    // The meter's orientation. QWidget::style() (the widget style) keeps its
    // name, so the getter is meterStyle().
    void setStyle(Tdbmeterstyle s);
    using QWidget::setStyle;
    Tdbmeterstyle meterStyle() const { return m_style; }
    void setDirection(Tdbmeterdirection d);
    Tdbmeterdirection direction() const { return m_direction; }
    // Repaints synchronously when the level changes (once per audio block).
    void setPosition(int p);
    int position() const { return m_position; }

    // Number of cells lit by the current position: the zone arithmetic
    // rounded half to even, at least one cell for any position above zero,
    // never more than the cells there are; positions of zero and below light
    // nothing.
    int litCount() const;
    // The same for given settings.
    static int litCountFor(int greens, int yellows, int reds, int greenMax, int yellowMax, int redMax,
                           int position);

    // The picture of the whole control exactly as painted.
    QImage render() const;

    int paintCount() const { return m_paintCount; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void changed();
    void composeInto(QImage& img) const;

    TPanelBevel m_bevelStyle = TPanelBevel::bvLowered;
    int m_bevelWidth = 1;
    ColorRef m_greenColor = 0x00FF00;
    ColorRef m_yellowColor = 0x00FFFF;
    ColorRef m_redColor = 0x0000FF;
    ColorRef m_greenBack = 0x808080;
    ColorRef m_yellowBack = 0x808080;
    ColorRef m_redBack = 0x808080;
    int m_greens = 3;
    int m_yellows = 2;
    int m_reds = 1;
    int m_greenMax = 50;
    int m_yellowMax = 25;
    int m_redMax = 25;
    bool m_showJustOne = false;
    int m_sepWidth = 1;
    ColorRef m_sepColor = 0xC0C0C0;
    Tdbmeterstyle m_style = Tdbmeterstyle::dsHorizontal;
    Tdbmeterdirection m_direction = Tdbmeterdirection::ddRightDown;
    int m_position = 0;

    QImage m_buffer;  // the off-screen picture, the control's size
    int m_paintCount = 0;
};
