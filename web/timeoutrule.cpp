#include "timeoutrule.h"

namespace {
constexpr qint64 kNsPerSecond = 1'000'000'000;
}

qint64 RoundHalfEven(qint64 numerator, qint64 denominator)
{
    const qint64 quotient = numerator / denominator;
    const qint64 twiceRest = 2 * (numerator % denominator);
    if (twiceRest > denominator || (twiceRest == denominator && quotient % 2 != 0)) {
        return quotient + 1;
    }
    return quotient;
}

qint64 RoundedSeconds(qint64 elapsedNs)
{
    return RoundHalfEven(qMax<qint64>(elapsedNs, 0), kNsPerSecond);
}

bool IsTimedOut(qint64 elapsedNs, qint32 tryTime)
{
    return RoundedSeconds(elapsedNs) > tryTime;
}

qint64 FirstTimeoutNs(qint32 tryTime)
{
    if (tryTime < 0) {
        return 0;
    }
    // Half a second past tryTime rounds up only when tryTime + 1 is even; otherwise the next instant does.
    const qint64 half = qint64(tryTime) * kNsPerSecond + kNsPerSecond / 2;
    return IsTimedOut(half, tryTime) ? half : half + 1;
}
