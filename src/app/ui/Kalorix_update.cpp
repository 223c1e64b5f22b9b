// The window's side of the update check: one check per run, and the one flag
// that the menu action, the update window's check box and the settings store
// share.
#include "app/ui/Kalorix.h"

#include "app/ReleaseList.h"
#include "app/ui/UpdateInformation.h"
#include "app/ui/Updater.h"
#include "ui_Kalorix.h"

#include <QSignalBlocker>

void Kalorix::checkUpdates(bool disabled) {
    // Switching the check off and on again in one run does not fetch twice
    // (nor open a second window).
    if (disabled || updater != nullptr)
        return;
    const Updater::Options options = Updater::deploymentOptions();
    if (options.url.isEmpty())
        return;
    updater = new Updater(kx::programBuildDate(), options, this);
    connect(updater, &Updater::disableAutomaticUpdates, this, &Kalorix::disableAutomaticUpdates);
}

void Kalorix::disableAutomaticUpdates(bool disabled) {
    automaticUpdatesDisabled = disabled;
    // The menu action and the update window show the same choice; neither
    // announces the change again, so switching off from the window starts
    // nothing.
    if (ui->actionAutomatic_Updates->isChecked() != disabled) {
        const QSignalBlocker blocker(ui->actionAutomatic_Updates);
        ui->actionAutomatic_Updates->setChecked(disabled);
    }
    if (updater != nullptr && updater->informationWindow() != nullptr)
        updater->informationWindow()->setAutomaticUpdates(disabled);
}
