#pragma once

// Release lists as the maker's server writes them, for the update check's tests.

#include <QByteArray>

namespace releasetest {

inline QByteArray entry(const char* version, const char* date, const char* news) {
    return QByteArray("<Kalorix><version>") + version + "</version><date>" + date +
           "</date><news>" + news + "</news></Kalorix>\n";
}

// A newer release (with markup in its news) and an older one.
inline QByteArray newerList() {
    return "<?xml version=\"1.0\"?>\n<releases>\n" +
           entry("2.2.0", "01.08.2017 10:00", "Faster export &lt;b&gt;now&lt;/b&gt;") +
           entry("2.0.0", "01.01.2016 09:00", "First release") + "</releases>\n";
}
inline const char* const kNewerHistory = "01.08.2017  |  2.2.0\n   Faster export <b>now</b>\n\n"
                                         "01.01.2016  |  2.0.0\n   First release\n\n";

} // namespace releasetest
