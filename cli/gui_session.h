#pragma once
// A QGuiApplication on Qt's offscreen platform, for commands that draw
// (fonts and painting need one) without a display.
#include <memory>

class QGuiApplication;

namespace crv::cli {

// Starts the application when none runs, and ends it with the scope.
class OffscreenGui {
public:
    OffscreenGui();
    ~OffscreenGui();
    OffscreenGui(const OffscreenGui&) = delete;
    OffscreenGui& operator=(const OffscreenGui&) = delete;

private:
    std::unique_ptr<QGuiApplication> app_;
};

}  // namespace crv::cli
