#pragma once

#include <QByteArray>
#include <QStringView>

// Character-set labels as web pages write them, mapped to the decoders that browsers use for them:
// gb2312 and gbk decode as GB18030 (a superset, as browsers do), latin1 and us-ascii as windows-1252,
// big5 as Big5-HKSCS, euc-kr as windows-949, and so on.

// The decoder name for `label` (any case, surrounding white space ignored); a label that browsers do not
// know is passed on lower-cased, so that the decoder may still recognise it. Empty for an empty label.
QByteArray DecoderNameFor(QStringView label);
