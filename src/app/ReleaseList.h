#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QUrl>
#include <cstddef>

namespace kx {

// What the maker's release list says: the latest release date of the entries
// read whole, and the version history of those entries in file order
// ("dd.MM.yyyy  |  version", a line break, three spaces, the news, two line
// breaks each).
struct ReleaseList {
    QDateTime newest; // invalid when no complete entry carries a readable date
    QString history;
};

// Reads "Kalorix" elements with their "version", "date" ("dd.MM.yyyy hh:mm",
// local time) and "news" children; every other element is skipped. Reading
// stops at the end or at the first error of the XML; an entry counts only
// when its end was read, so a reply cut off or spoilt in the middle of an
// entry cannot announce that entry's date.
// The list is the text up to the first zero byte (or all of it), as a reply
// of the server is taken: UTF-8, a byte outside a UTF-8 sequence read as
// Latin-1, an encoding declaration not followed. Nothing outside
// [data, data + size) is read.
ReleaseList readReleaseList(const char* data, size_t size);
ReleaseList readReleaseList(const QByteArray& xml);

// Whether the list announces a release newer than the running build.
bool isNewerThan(const ReleaseList& list, const QDateTime& buildDate);

// The date the running program was released with; the release list is
// compared against it.
QDateTime programBuildDate();

// Where the release list is fetched from: the environment variable
// KALORIX_UPDATE_URL when it is set (also when empty), else the address the
// build was configured with (KALORIX_UPDATE_URL in CMake). Only http and
// https addresses are taken; anything else, and an empty value, means that
// no check is made.
QUrl releaseListUrl();
// The maker's download page shown with a newer release (KALORIX_DOWNLOAD_URL,
// the same way); empty when none was configured.
QUrl downloadPageUrl();

// Bounds of one check: the list is small, so a larger reply is not a list,
// and a server that does not finish in time is given up.
constexpr qint64 kReleaseListMaxBytes = 1024 * 1024;
constexpr int kReleaseListTimeoutMs = 10000;

} // namespace kx
