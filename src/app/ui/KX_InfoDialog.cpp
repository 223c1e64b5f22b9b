#include "app/ui/KX_InfoDialog.h"

#include "app/ui/Kalorix.h"
#include "ui_KX_InfoDialog.h"

#include <QPixmap>

namespace {
// The release this build belongs to; the date is the release date, not the
// compiler's, so a rebuild of the same release reports the same text.
const char* const kBuildMonth = "July";
const char* const kBuildDay = "13th";
const char* const kBuildYear = "2017";
} // namespace

// The resources live in a static library: this reference makes the linker keep
// them. Qt's macro must be expanded outside any namespace; registering the same
// data twice is harmless.
static void initResources() {
    Q_INIT_RESOURCE(resources);
}

KX_InfoDialog::KX_InfoDialog(QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::KX_InfoDialog>()) {
    initResources();
    ui->setupUi(this);
    ui->lblLogo->setPixmap(QPixmap(QStringLiteral(":/Velmora_logo_small.png")));
    ui->lblVersion->setText(QLatin1String(Kalorix::kVersion));
    ui->lblBuildDate->setText(QLatin1String(kBuildMonth) + QStringLiteral(", ") +
                              QLatin1String(kBuildDay) + QStringLiteral(" ") +
                              QLatin1String(kBuildYear));
}

KX_InfoDialog::~KX_InfoDialog() = default;
