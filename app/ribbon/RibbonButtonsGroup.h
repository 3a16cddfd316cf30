// A joined row of small elements: icon buttons in a toolbar look, or mixed
// elements such as [button][combo box][button], framed as one.
#pragma once

#include <QWidget>

class CRibbonElement;
class QHBoxLayout;

class CRibbonButtonsGroup : public QWidget {
    Q_OBJECT
public:
    explicit CRibbonButtonsGroup(QWidget* parent = nullptr);

    void AddButton(CRibbonElement* element);  // takes ownership
    int GetCount() const;
    CRibbonElement* GetButton(int nIndex) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QHBoxLayout* m_pLayout;
};
