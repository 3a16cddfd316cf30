// The note-book look of the tab rows: every tab a card in its row's next
// colour, its left edge slanted and tucked under the tab before it, the
// current tab raised and open towards the band under the row. The base style
// still draws everything else (scroll arrows of a crowded row, tooltips).
#pragma once

#include "app/tabgroups/TabGroupArea.h"

#include <QProxyStyle>

class QStyleOptionTab;

class CTabGroupStyle : public QProxyStyle {
public:
    // How much lower than the current tab the others start.
    static constexpr int kLift = 3;

    const CTabGroupTheme& Theme() const { return m_theme; }
    void SetTheme(const CTabGroupTheme& theme) { m_theme = theme; }
    // The automatic colour of the tab at `index` of a row.
    QColor TabColor(int index) const;
    // The width of a tab's slanted edge; a tab's card reaches this far past its rectangle on the right, under the
    // next tab's slant.
    static int Slant(int tabHeight) { return tabHeight * 2 / 5; }

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget = nullptr) const override;
    QRect subElementRect(SubElement element, const QStyleOption* option,
                         const QWidget* widget = nullptr) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;

private:
    void DrawTab(const QStyleOptionTab& tab, QPainter* painter, const QWidget* widget) const;

    CTabGroupTheme m_theme;
};
