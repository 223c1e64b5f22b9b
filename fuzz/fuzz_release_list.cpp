// Release list of the update check: the text ends at the first zero byte; a
// reply cut short announces no entry and no date the whole reply does not
// (its history is a prefix of the whole one, its newest date no later); CR LF
// line ends read as line feeds; the newest date is the date of an entry in the
// history; no entry without a "Kalorix" element.
//
// Input: length of the cut reply (u16, modulo the reply length + 1), then the
// reply.
#include "FuzzTarget.h"

#include "app/ReleaseList.h"

namespace {

kx::ReleaseList read(const QByteArray& reply) {
    // A copy of exactly its size: a read past the reply does not go unnoticed.
    const std::vector<char> bytes(reply.begin(), reply.end());
    return kx::readReleaseList(bytes.data(), bytes.size());
}

bool same(const kx::ReleaseList& a, const kx::ReleaseList& b) {
    return a.history == b.history && a.newest == b.newest;
}

} // namespace

KALORIX_FUZZ_TARGET(release_list) {
    fuzzing::Params params(data, size);
    const uint16_t cutSeed = params.u16();
    const std::vector<uint8_t> bytes = params.rest();
    const QByteArray reply(reinterpret_cast<const char*>(bytes.data()), int(bytes.size()));
    const kx::ReleaseList list =
        kx::readReleaseList(reinterpret_cast<const char*>(bytes.data()), bytes.size());

    const int zero = reply.indexOf('\0');
    const QByteArray text = zero < 0 ? reply : reply.left(zero);
    if (zero >= 0)
        FUZZ_CHECK(same(read(text), list));

    if (list.newest.isValid())
        FUZZ_CHECK(list.history.startsWith(list.newest.toString("dd.MM.yyyy") + "  |  ") ||
                   list.history.contains("\n\n" + list.newest.toString("dd.MM.yyyy") + "  |  "));
    // The text is read as UTF-8 or Latin-1: the element name is spelt in it.
    if (!text.contains("Kalorix"))
        FUZZ_CHECK(list.history.isEmpty() && !list.newest.isValid());

    const int cut = int(cutSeed % (reply.size() + 1));
    const kx::ReleaseList head = read(reply.left(cut));
    FUZZ_CHECK(list.history.startsWith(head.history));
    FUZZ_CHECK(!head.newest.isValid() || (list.newest.isValid() && head.newest <= list.newest));
    FUZZ_CHECK(kx::isNewerThan(head, kx::programBuildDate()) <=
               kx::isNewerThan(list, kx::programBuildDate()));

    // XML reads CR LF as a line feed, in element text too.
    if (!text.contains('\r')) {
        QByteArray crlf = text;
        crlf.replace("\n", "\r\n");
        FUZZ_CHECK(same(read(crlf), list));
    }
    return 0;
}
