#pragma once
// The page's line spacing (`Interlinea`) as the operator types it in the
// box `Txt_Interlinea`.
#include <string>

namespace crv {

// The spacing the page is drawn with, in pixels per row.
struct LineSpacing {
    double interlinea = 18;
    std::string boxText;  // what the box shows afterwards
};

// The spacing of the box's text: its leading number (read with "."). A text
// whose leading number is 0 or less (empty, not a number, "0", "-5") puts
// the design value "18" back in the box and uses it; a negative spacing
// would draw the page upwards, off the picture.
LineSpacing readLineSpacing(const std::string& boxText);

}  // namespace crv
