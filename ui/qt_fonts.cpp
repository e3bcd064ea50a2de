// Fonts by number, sized in whole pixels for the screen's dots per inch.
#include "ui/qt_internal.h"

#include "ui/qt_access.h"

#include <QApplication>

namespace ui {

using namespace impl;

namespace {

// Rounds points * dpi / 72 to the nearest whole pixel, halves away from 0.
int PixelsForPoints(int points, int dpi)
{
    const long long scaled = static_cast<long long>(points) * dpi;
    const long long rounded = scaled >= 0 ? (scaled * 2 + 72) / 144 : -((-scaled * 2 + 72) / 144);
    return static_cast<int>(rounded);
}

}  // namespace

bool CreateFont(int font, const std::u16string& face, int points, unsigned flags)
{
    if (face.empty() || points <= 0 || !QApplication::instance())
        return false;
    const int pixels = PixelsForPoints(points, DisplayDpiY());
    if (pixels <= 0)
        return false;
    QFont f(Q(face));
    f.setPixelSize(pixels);
    f.setWeight((flags & FontBold) ? QFont::Bold : QFont::Normal);
    f.setUnderline(flags & FontUnderline);
    f.setStyleStrategy((flags & FontHighQuality) ? QFont::PreferQuality : QFont::PreferDefault);
    S().fonts[font] = FontEntry{f, pixels};
    return true;
}

bool FontExists(int font) { return S().fonts.count(font) != 0; }

void FreeFont(int font) { S().fonts.erase(font); }

int FontPixelHeight(int font)
{
    auto it = S().fonts.find(font);
    return it == S().fonts.end() ? 0 : it->second.pixelHeight;
}

namespace qt {

const QFont* FontObject(int font)
{
    auto it = S().fonts.find(font);
    return it == S().fonts.end() ? nullptr : &it->second.font;
}

}  // namespace qt
}  // namespace ui
