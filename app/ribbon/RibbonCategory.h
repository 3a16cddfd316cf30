// A category: one tab of the ribbon, holding panels left to right. When the
// width is too small for all of them, panels collapse from the right end.
#pragma once

#include <QIcon>
#include <QWidget>

class CRibbonPanel;

class CRibbonCategory : public QWidget {
    Q_OBJECT
public:
    explicit CRibbonCategory(const QString& name, QWidget* parent = nullptr);

    QString GetName() const { return m_name; }
    // The key tip of the category's tab.
    QString GetKeyTip() const { return m_keyTip; }
    void SetKeys(const QString& keyTip) { m_keyTip = keyTip; }

    CRibbonPanel* AddPanel(const QString& title, const QIcon& icon = {});
    int GetPanelCount() const { return static_cast<int>(m_panels.size()); }
    CRibbonPanel* GetPanel(int nIndex) const { return m_panels.value(nIndex); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Relayout();

    QString m_name;
    QString m_keyTip;
    QList<CRibbonPanel*> m_panels;
};
