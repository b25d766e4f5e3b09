#include "tag.h"

#include "transport/utils.h"

#include <QLocale>

#include <cfloat>
#include <cmath>

namespace {

constexpr double kRadiusNotSet = 2147483647;
constexpr double kDefaultDeadBand = 0.0001;

QString FormatValue(double v) {
    return QLocale().toString(v, 'g', QLocale::FloatingPointShortest);
}

} // namespace

TzTag::TzTag() {
    ValueStr = FormatValue(0);
}

void TzTag::SetValue(double v) {
    if (std::isnan(v)) {
        ValueStr.clear();
        return;
    }
    double clamped = v;
    ClampValue(clamped, MaxValue, MinValue);
    m_value = clamped;
    Quality = kQualityGood;

    const double deadBand = Radius == kRadiusNotSet ? kDefaultDeadBand : Radius;
    // Values arrive as decimal numbers: a move of exactly the dead band (1 -> 1.0001) comes out
    // a rounding error short in binary, so the operands' own rounding is allowed for.
    const double rounding = (std::fabs(v) + std::fabs(fOPCValue)) * DBL_EPSILON;
    if (std::fabs(v - fOPCValue) >= deadBand - rounding) {
        fOPCValue = v;
        ValueStr = FormatValue(v);
    }
}

void TzTag::SetOrder(const QString &order) {
    Order = order;
    OrderMas.clear();
    for (const QChar c : order) {
        const char16_t u = c.unicode();
        OrderMas.append(char(u >= u'0' && u <= u'9' ? u - u'0' : 0));
    }
}
