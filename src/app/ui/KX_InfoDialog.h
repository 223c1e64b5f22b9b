#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class KX_InfoDialog;
}

// "About Kalorix": the maker's logo, the version, the build date and the
// notices. Its one button closes it.
class KX_InfoDialog : public QDialog {
    Q_OBJECT
public:
    explicit KX_InfoDialog(QWidget* parent = nullptr);
    ~KX_InfoDialog() override;

private:
    std::unique_ptr<Ui::KX_InfoDialog> ui;
};
