#include "app/shell/HighDpi.h"

#include <QGuiApplication>

void PrepareHighDpiScaling()
{
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::Round);
}
