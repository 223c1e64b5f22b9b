// FFC list file: exactly one frame per line, a frame other than 0 only from a
// line of digits that spell it, the same list with CR LF line ends, a prefix
// read as the lines it holds, the device reader in both open modes as the
// span parser, and the listing the window shows read back to the same frames.
//
// Input: prefix length (u16, modulo the text length + 1), then the text.
#include "FuzzTarget.h"

#include "corrections/Drift.h"

#include <QBuffer>
#include <QByteArray>
#include <climits>

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::vector<int32_t> parse(const QByteArray& text) {
    // A copy of exactly its size: a read past the text does not go unnoticed.
    const std::vector<char> bytes(text.begin(), text.end());
    return drift::parseFfcList(bytes.data(), bytes.size());
}

std::vector<int32_t> readThrough(QByteArray text, QIODevice::OpenMode mode) {
    QBuffer buffer(&text);
    buffer.open(mode);
    return drift::readFfcList(buffer);
}

} // namespace

KALORIX_FUZZ_TARGET(ffc_list) {
    fuzzing::Params params(data, size);
    const uint16_t cutSeed = params.u16();
    const std::vector<uint8_t> bytes = params.rest();
    const std::vector<int32_t> frames =
        drift::parseFfcList(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    const QByteArray text(reinterpret_cast<const char*>(bytes.data()), int(bytes.size()));

    const QList<QByteArray> lines = text.split('\n');
    // split gives an empty piece after a final line feed, and one for no text.
    const size_t lineCount =
        text.isEmpty() || text.endsWith('\n') ? size_t(lines.size() - 1) : size_t(lines.size());
    FUZZ_CHECK(frames.size() == lineCount);
    for (size_t i = 0; i < frames.size(); ++i) {
        const QByteArray& line = lines[int(i)];
        FUZZ_CHECK(frames[i] >= 0);
        FUZZ_CHECK(drift::ffcLineValue(line) == frames[i]);
        if (frames[i] == 0)
            continue;
        // The number is spelt in its line, which holds nothing but blanks,
        // one leading '+', and digits.
        FUZZ_CHECK(line.contains(QByteArray::number(frames[i])));
        int signs = 0;
        for (const char c : line) {
            FUZZ_CHECK((c >= '0' && c <= '9') || isBlank(c) || c == '+');
            signs += c == '+' ? 1 : 0;
        }
        FUZZ_CHECK(signs <= 1);
    }
    // Lines without a zero byte read as Qt's own number conversion reads them,
    // as the list was read before.
    for (size_t i = 0; i < frames.size(); ++i) {
        const QByteArray& line = lines[int(i)];
        if (line.contains('\0'))
            continue;
        bool ok = false;
        const qulonglong value = line.trimmed().toULongLong(&ok, 10);
        FUZZ_CHECK(frames[i] == (ok && value <= qulonglong(INT32_MAX) ? int32_t(value) : 0));
    }

    QByteArray crlf = text;
    crlf.replace("\n", "\r\n");
    FUZZ_CHECK(parse(crlf) == frames);

    // A prefix holds its own lines: all but the last as in the whole text, the
    // last too when the cut falls at a line end.
    const int cut = int(cutSeed % (bytes.size() + 1));
    const std::vector<int32_t> head = parse(text.left(cut));
    const size_t headLines =
        size_t(text.left(cut).count('\n')) + (cut > 0 && text[cut - 1] != '\n' ? 1 : 0);
    FUZZ_CHECK(head.size() == headLines);
    const bool cutAtLineEnd = cut == text.size() || cut == 0 || text[cut - 1] == '\n';
    for (size_t i = 0; i < head.size(); ++i)
        FUZZ_CHECK(head[i] == frames[i] || (i + 1 == head.size() && !cutAtLineEnd));

    FUZZ_CHECK(readThrough(text, QIODevice::ReadOnly) == frames);
    // In text mode the device drops every carriage return before the parser
    // sees the text.
    QByteArray withoutCr = text;
    withoutCr.replace("\r", "");
    FUZZ_CHECK(readThrough(text, QIODevice::ReadOnly | QIODevice::Text) == parse(withoutCr));

    QByteArray listed = drift::ffcListText(frames).toLatin1();
    listed.replace(", ", "\n");
    FUZZ_CHECK(parse(listed) == frames);
    return 0;
}
