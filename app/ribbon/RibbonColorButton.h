// A colour picker: a button showing its colour as a bar under its image,
// with a drop-down palette of colour groups, an "automatic" entry on top and
// an entry for the full colour dialog at the bottom. Choosing a colour sets
// it and issues the button's command; setting it from code issues nothing.
//
// Toolbar look (the default): a small image button whose whole face opens the
// palette. Simple-button look: small or large image; with a default command
// (SetDefaultCommand) its main part applies the colour it shows and its arrow
// opens the palette.
#pragma once

#include "app/ribbon/RibbonButton.h"

class CRibbonColorPalette;

class CRibbonColorButton : public CRibbonButton {
    Q_OBJECT
public:
    struct ColorGroup {
        QString title;  // empty: no title row
        QList<QColor> colors;
        QStringList names;         // the tooltips, in the order of the colours
        bool bContiguous = false;  // rows drawn as columns without gaps
    };

    CRibbonColorButton(int nID, const QString& label, const QColor& color, const QIcon& small = {},
                       const QIcon& large = {}, QWidget* parent = nullptr);

    QColor GetColor() const { return m_color; }
    void SetColor(const QColor& color);

    void SetSimpleButtonLook(bool bSimple = true);
    bool IsSimpleButtonLook() const { return m_bSimpleLook; }

    // The palette's content.
    void EnableAutomaticButton(const QString& label, const QColor& color, bool bBorder = false);
    void EnableOtherButton(const QString& label, const QString& toolTip);
    void SetColumns(int nColumns);
    void SetColorBoxSize(const QSize& size);
    void AddColorsGroup(const QString& title, const QList<QColor>& colors, const QStringList& names,
                        bool bContiguousColumns = false);

    // The palette pop-up as it is built for the current content.
    CRibbonColorPalette* GetPalette();
    void OpenPalette();
    QWidget* GetOpenDropDown() const override;
    // By keys the palette is what a picker is for: its main part only applies
    // again the colour it shows, which is the current one.
    void OnKeyTip() override { OpenPalette(); }

signals:
    // The user chose a colour (after it is set, with the command); a picker outside a ribbon hears only this.
    void colorChosen(const QColor& color);

protected:
    bool HasDropDown() const override { return true; }
    void DropDown() override { OpenPalette(); }
    bool ShowsLabel() const override { return m_bSimpleLook && CRibbonButton::ShowsLabel(); }
    void DrawImage(QPainter& p, const QRectF& r, const QIcon& icon) override;

private:
    friend class CRibbonColorPalette;
    // A colour the user chose: set, then the command.
    void ChooseColor(const QColor& color);
    void ChooseOtherColor();
    void ContentChanged();

    QColor m_color;
    bool m_bSimpleLook = false;
    QString m_automaticLabel;
    QColor m_automaticColor;
    bool m_bAutomaticBorder = false;
    QString m_otherLabel;
    QString m_otherToolTip;
    int m_nColumns = 10;
    QSize m_boxSize{17, 17};
    QList<ColorGroup> m_groups;
    CRibbonColorPalette* m_pPalette = nullptr;
};
