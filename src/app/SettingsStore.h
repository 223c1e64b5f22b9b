#pragma once

#include "app/Settings.h"

#include <QString>

namespace kx {

// The user's choices between runs, in the platform's per-user settings store
// (organisation "Velmora Technology", application "Kalorix", native format):
// one flat group of 25 keys plus the file browser's folder.
//
// Reading never fails. A key that is missing, holds a value of another type or
// a value its control cannot show yields the default of the value types in
// Settings.h, so a damaged store starts the program as a first start would.
class SettingsStore {
public:
    Settings load() const;
    // Writes the 25 keys and the browser's folder.
    void save(const Settings& settings);
    // The browser's folder alone, as the user moves through the folders.
    void saveBrowserFolder(const QString& folder);
    // Where the store lives on this platform.
    QString fileName() const;
};

} // namespace kx
