#include "app/ribbon/RibbonKeyTipFilter.h"

#include "app/ribbon/RibbonBar.h"

#include <QApplication>
#include <QKeyEvent>

CRibbonKeyTipFilter::CRibbonKeyTipFilter(CRibbonBar* bar, QWidget* window)
    : QObject(window), m_pBar(bar), m_pWindow(window)
{
    qApp->installEventFilter(this);
}

CRibbonKeyTipFilter::~CRibbonKeyTipFilter()
{
    qApp->removeEventFilter(this);
}

bool CRibbonKeyTipFilter::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget || widget->window() != m_pWindow)
            break;
        auto* key = static_cast<QKeyEvent*>(event);
        const bool alt = key->key() == Qt::Key_Alt && !(key->modifiers() & ~Qt::AltModifier);
        if (event->type() == QEvent::KeyPress) {
            if (!key->isAutoRepeat())
                m_bAltAlone = alt;
        } else if (alt && m_bAltAlone && !key->isAutoRepeat()) {
            m_bAltAlone = false;  // the release travels up the parents: toggle once
            if (m_pBar)
                m_pBar->AreKeyTipsShown() ? m_pBar->HideKeyTips() : m_pBar->ShowKeyTips();
        }
        break;
    }
    case QEvent::MouseButtonPress:
    case QEvent::Wheel:
    case QEvent::ApplicationDeactivate:
    case QEvent::WindowDeactivate: m_bAltAlone = false; break;
    default: break;
    }
    return QObject::eventFilter(watched, event);
}
