// Alt pressed and released alone toggles a ribbon's key tips; Alt with any
// other key (Alt+F4, Alt+Tab) or a click in between shows nothing. Watches the
// events of one window and its children (menus and other windows are left alone).
#pragma once

#include <QObject>
#include <QPointer>

class CRibbonBar;
class QWidget;

class CRibbonKeyTipFilter : public QObject {
    Q_OBJECT
public:
    // Starts watching `window` (through the application's event filter, so
    // that keys a child accepts are seen as well); it ends with the filter.
    CRibbonKeyTipFilter(CRibbonBar* bar, QWidget* window);
    ~CRibbonKeyTipFilter() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<CRibbonBar> m_pBar;
    QPointer<QWidget> m_pWindow;
    bool m_bAltAlone = false;
};
