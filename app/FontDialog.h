// The Font dialog of the view: the fixed-pitch fonts with their styles and
// effects (a Qt font dialog embedded without its own buttons), a colour button
// for the text colour, OK and Cancel. The colour is part of the answer: OK
// always applies it, as the classic dialog's colour box did.
#pragma once

#include "platform/Types.h"

#include <QColor>
#include <QDialog>

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
    QPushButton* ColorButton() const { return m_pColorButton; }
    void SetColor(const QColor& color);

private:
    void ChooseColor();

    QFontDialog* m_pFonts;
    QPushButton* m_pColorButton;
    QColor m_color;
};
