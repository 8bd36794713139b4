#include "window/twips.h"

#include <cmath>

namespace crv::window {

int Twips::px(int twips) const
{
    return static_cast<int>(std::lround(twips * pixelsPerTwip_));
}

QRect Twips::rect(const TwipRect& r) const
{
    const int left = px(r.left);
    const int top = px(r.top);
    return QRect(left, top, px(r.left + r.width) - left, px(r.top + r.height) - top);
}

int Twips::twips(int pixels) const
{
    return static_cast<int>(std::lround(pixels / pixelsPerTwip_));
}

}  // namespace crv::window
