#pragma once
// The window's design positions are in twips (1/1440 inch). They become
// pixels at the screen's logical resolution: 15 twips a pixel at 96 dots per
// inch. On a high-resolution screen Qt scales those logical pixels again, so
// the window keeps its proportions there too.
#include <QRect>

namespace crv::window {

// A design position: left, top, width, height in twips.
struct TwipRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

class Twips {
public:
    // `logicalDpi` of the screen the window is on (96 on most desktops).
    explicit Twips(double logicalDpi) : pixelsPerTwip_(logicalDpi / 1440.0) {}

    // A length or coordinate in pixels, rounded to the nearest.
    int px(int twips) const;
    // A design rectangle in pixels; the right and bottom edges are rounded
    // on their own so neighbouring controls keep touching.
    QRect rect(const TwipRect& r) const;
    // A pixel length back in twips (for messages and tests).
    int twips(int pixels) const;

private:
    double pixelsPerTwip_;
};

}  // namespace crv::window
