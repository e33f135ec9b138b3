// Headers and bodies are the server's choice: sniffing and decoding must take any bytes, never fail,
// and the text helpers must only ever hand back part of their input.
#include "fuzzinput.h"

#include "charset.h"
#include "cxhtml.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const QByteArray contentType = in.lineBytes();
    const QString label = in.line();
    const QByteArray body = in.restBytes();

    const QString sniffed = SniffCharset(contentType, body);
    FUZZ_CHECK(!sniffed.isEmpty());
    FUZZ_CHECK(sniffed == sniffed.toLower());
    const QString text = DecodeBytes(body, sniffed);
    FUZZ_CHECK(!body.isEmpty() || text.isEmpty());
    DecodeBytes(body, label);
    CXHtml::BytesToBstr(body, label);

    // Marks taken from the label line, so that they often occur in the text.
    const qsizetype half = label.size() / 2;
    const QString first = label.left(half);
    const QString end = label.mid(half);
    const QString memo = CXHtml::GetMemo(text, first, end);
    FUZZ_CHECK(memo.isEmpty() || text.contains(memo));
    CXHtml::CheckNull(text);
    FUZZ_CHECK(CXHtml::GetSqlStr(text).size() == text.size());
    return 0;
}
