#pragma once

#include <QRect>

// Designed positions and sizes are in twips (1/1440 inch); 15 twips make one
// logical pixel. Qt scales logical pixels for the screen.
inline constexpr float kTwipsPerPixel = 15.0f;

struct TwipsRect
{
    float Left = 0;
    float Top = 0;
    float Width = 0;
    float Height = 0;
};

// The logical-pixel rectangle of a twips one.
QRect ToPixels(const TwipsRect &r);
