#include "twips_rect.h"

#include <cmath>

QRect ToPixels(const TwipsRect &r)
{
    // Round each edge, so that neighbours stay neighbours at every size.
    const int left = static_cast<int>(std::lround(r.Left / kTwipsPerPixel));
    const int top = static_cast<int>(std::lround(r.Top / kTwipsPerPixel));
    const int right = static_cast<int>(std::lround((r.Left + r.Width) / kTwipsPerPixel));
    const int bottom = static_cast<int>(std::lround((r.Top + r.Height) / kTwipsPerPixel));
    return QRect(left, top, right - left, bottom - top);
}
