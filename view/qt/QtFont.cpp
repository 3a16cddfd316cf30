#include "view/qt/QtFont.h"

#include <QFontInfo>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <cstdlib>

using platform::kLfFaceSize;
using platform::LOGFONTW;
using platform::MulDiv;

platform::LOGFONTW LogFontFromQFont(const QFont& font)
{
    LOGFONTW lf{};
    const int dpi = platform::GetScreenDpiY();
    if (font.pointSizeF() > 0)
        lf.lfHeight = -MulDiv(static_cast<std::int32_t>(std::lround(font.pointSizeF())), dpi, 72);
    else
        lf.lfHeight = -font.pixelSize();
    lf.lfWeight = font.weight();
    lf.lfItalic = font.italic() ? 1 : 0;
    lf.lfUnderline = font.underline() ? 1 : 0;
    lf.lfStrikeOut = font.strikeOut() ? 1 : 0;
    const QString family = font.family();
    const int n = std::min<int>(static_cast<int>(family.size()), kLfFaceSize - 1);
    std::copy_n(reinterpret_cast<const char16_t*>(family.utf16()), n, lf.lfFaceName);
    lf.lfCharSet = 0;
    lf.lfPitchAndFamily = QFontInfo(font).fixedPitch() ? kFixedPitchModern : 0;
    return lf;
}

QFont QFontFromLogFont(const LOGFONTW& lf)
{
    QFont font;
    int n = 0;
    while (n < kLfFaceSize && lf.lfFaceName[n])
        ++n;
    font.setFamily(QString::fromUtf16(lf.lfFaceName, n));
    font.setStyleHint(QFont::Monospace);
    // A positive height is a cell height; points count the character height, close enough for choosing a size.
    const std::int32_t points = std::abs(MulDiv(lf.lfHeight, 72, platform::GetScreenDpiY()));
    font.setPointSize(std::max<std::int32_t>(points, 1));
    if (lf.lfWeight > 0)
        font.setWeight(static_cast<QFont::Weight>(std::clamp<std::int32_t>(lf.lfWeight, 1, 1000)));
    font.setItalic(lf.lfItalic != 0);
    font.setUnderline(lf.lfUnderline != 0);
    font.setStrikeOut(lf.lfStrikeOut != 0);
    return font;
}

void FollowScreenDpi()
{
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app)
        return;
    static bool following = false;
    auto take = [] {
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            platform::SetScreenDpiY(static_cast<int>(std::lround(screen->logicalDotsPerInchY())));
    };
    take();
    if (following)
        return;
    following = true;
    auto watch = [take](QScreen* screen) {
        if (screen)
            QObject::connect(screen, &QScreen::logicalDotsPerInchChanged, screen, [take] { take(); });
    };
    watch(QGuiApplication::primaryScreen());
    QObject::connect(app, &QGuiApplication::primaryScreenChanged, app, [take, watch](QScreen* screen) {
        watch(screen);
        take();
    });
}
