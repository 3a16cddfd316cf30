// The Font dialog of the view: the fixed-pitch fonts with their styles and
// effects (a Qt font dialog embedded without its own buttons), a colour button
// for the text colour, OK and Cancel. The colour is part of the answer: OK
// always applies it, so a user who only picked a colour is not asked twice.
// Enter confirms, as in every font dialog; the colour button is no default.
#pragma once

#include "platform/Types.h"

#include <QColor>
#include <QDialog>
#include <QFont>

class QFontDialog;
class QPushButton;

class CFontDialog : public QDialog {
    Q_OBJECT
public:
    CFontDialog(const platform::LOGFONTW& font, platform::COLORREF color, QWidget* parent = nullptr);

    // The choice, once the dialog was accepted.
    platform::LOGFONTW GetLogFont() const;
    platform::COLORREF GetColor() const;

    QFontDialog* FontChooser() const { return m_pFonts; }
    void SetColor(const QColor& color);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ChooseColor();
    // Qt picks a new face's first style when the family changes; the user's
    // weight and slant are kept instead, unless the user changes them.
    void KeepStyle(const QFont& chosen);
    void RestoreStyle();

    QFontDialog* m_pFonts;
    QPushButton* m_pColorButton;
    QPushButton* m_pOk = nullptr;
    QColor m_color;
    QFont m_lastFont;  // as the chooser last reported it
    QFont m_wanted;    // the weight and slant the user has
    bool m_bKeepingStyle = false;
};
