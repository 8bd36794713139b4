#include "window/counter_box.h"

#include <QFontMetricsF>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>

namespace crv::window {

namespace {

const char* const kDesignPoints = "crvPuntiDisegno";
constexpr double kSmallestPoints = 6;
constexpr double kStep = 0.5;
// The box's own margin on each side of its text, and a pixel for the cursor.
constexpr int kInnerMargin = 2;

// The pixels the box gives its text.
double room(const QLineEdit& box)
{
    QStyleOptionFrame option;
    option.initFrom(&box);
    option.rect = box.rect();
    option.lineWidth = box.hasFrame() ? box.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &box) : 0;
    const QRect contents = box.style()->subElementRect(QStyle::SE_LineEditContents, &option, &box);
    const QMargins margins = box.textMargins();
    return contents.width() - margins.left() - margins.right() - 2 * kInnerMargin - 1;
}

}  // namespace

void preparaContatore(QLineEdit& box)
{
    box.setProperty(kDesignPoints, box.font().pointSizeF());
}

void mostraContatore(QLineEdit& box, const QString& number)
{
    const QVariant design = box.property(kDesignPoints);
    const double largest = design.isValid() ? design.toDouble() : box.font().pointSizeF();
    const double width = room(box);
    QFont font = box.font();
    QString shown = QStringLiteral("###");
    for (double points = largest; points >= kSmallestPoints; points -= kStep) {
        font.setPointSizeF(points);
        if (QFontMetricsF(font, &box).horizontalAdvance(number) <= width) {
            shown = number;
            break;
        }
    }
    if (shown != number) font.setPointSizeF(largest);
    box.setFont(font);
    box.setText(shown);
    box.setToolTip(number);
}

}  // namespace crv::window
