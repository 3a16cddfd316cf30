// A ribbon pop-up window: closes on Escape, on a click outside and after a
// command. It can show a widget borrowed from the ribbon (a collapsed panel's
// elements, a minimised category) and gives it back when it closes.
#pragma once

#include <QFrame>
#include <QPointer>

class CRibbonPopup : public QFrame {
    Q_OBJECT
public:
    explicit CRibbonPopup(QWidget* owner);

    // Moves `content` in, shows the pop-up at `globalPos` (kept on the screen).
    void ShowContent(QWidget* content, const QPoint& globalPos);
    // Shows the pop-up's own content at `globalPos` (kept on the screen).
    void ShowAt(const QPoint& globalPos);

signals:
    void closed();

protected:
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QPointer<QWidget> m_pContent;
    QWidget* m_pHome = nullptr;
    QRect m_homeGeometry;
    bool m_bWasHidden = false;
};
