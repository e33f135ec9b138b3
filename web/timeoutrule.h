#pragma once

#include <QtGlobal>

// The timeout rule of every request: the elapsed time in whole seconds, rounded to the nearest whole
// number with halves going to the even neighbour, must not exceed the allowed seconds.

// `numerator / denominator` rounded half to even; `numerator` >= 0, `denominator` > 0.
qint64 RoundHalfEven(qint64 numerator, qint64 denominator);

// Elapsed whole seconds as the rule counts them.
qint64 RoundedSeconds(qint64 elapsedNs);

// True once `elapsedNs` counts as more than `tryTime` seconds.
bool IsTimedOut(qint64 elapsedNs, qint32 tryTime);

// The first instant (nanoseconds after the start) at which IsTimedOut holds, so that a single timer
// can be armed for it instead of checking the clock in a loop.
qint64 FirstTimeoutNs(qint32 tryTime);
