#include "invoice/line_spacing.h"

#include "numbers/amount.h"

namespace crv {

LineSpacing readLineSpacing(const std::string& boxText)
{
    const std::optional<Amount> value = Amount::parseLeadingNumber(boxText);
    if (!value || value->raw() <= 0) return LineSpacing{18, "18"};
    return LineSpacing{static_cast<double>(value->raw()) / Amount::kScale, boxText};
}

}  // namespace crv
