#include "recording/ui/FileMergeSplit.h"

#include "base/FileKind.h"
#include "recording/FileManipulation.h"
#include "ui_FileMergeSplit.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <utility>

FileMergeSplitWorker::FileMergeSplitWorker(QWidget* parent)
    : QWidget(parent) {
    hide();
}

void FileMergeSplitWorker::executeMerge(QStringList files, QString outputName) {
    FileManipulation::MergeHooks hooks;
    hooks.afterChunk = [] { QCoreApplication::processEvents(QEventLoop::AllEvents, 100); };
    hooks.progress = [this](int percent) {
        emit mergeProcessPercentage(percent);
        QCoreApplication::processEvents();
    };
    succeeded = FileManipulation::merge(files, outputName, hooks);
    emit finishedMergeProcess();
}

FileMergeSplit::FileMergeSplit(QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::FileMergeSplit>())
    , worker(new FileMergeSplitWorker(this)) {
    ui->setupUi(this);
    const std::pair<QPushButton*, void (FileMergeSplit::*)()> buttons[] = {
        {ui->btnAddFileMerge, &FileMergeSplit::addMergeFiles},
        {ui->btnRemoveMerge, &FileMergeSplit::removeMergeFile},
        {ui->btnMoveUpMerge, &FileMergeSplit::moveMergeFileUp},
        {ui->btnMoveDownMerge, &FileMergeSplit::moveMergeFileDown},
        {ui->btnExecuteMerge, &FileMergeSplit::startMerge},
    };
    for (const auto& [button, handler] : buttons)
        connect(button, &QPushButton::clicked, this, handler);
    ui->pbMerge->hide();
    // Same thread: the merge runs inside the emit.
    connect(this, &FileMergeSplit::DoExecuteMerge, worker, &FileMergeSplitWorker::executeMerge,
            Qt::DirectConnection);
    connect(worker, &FileMergeSplitWorker::mergeProcessPercentage, this,
            &FileMergeSplit::updateMergeProgress);
    connect(worker, &FileMergeSplitWorker::finishedMergeProcess, this,
            &FileMergeSplit::mergeFinished);
}

FileMergeSplit::~FileMergeSplit() = default;

void FileMergeSplit::addFileToMergeList(const QString& path) {
    ui->lwMergeFiles->addItem(path);
}

QStringList FileMergeSplit::mergeList() const {
    QStringList files;
    for (int i = 0; i < ui->lwMergeFiles->count(); ++i)
        files << ui->lwMergeFiles->item(i)->text();
    return files;
}

QString FileMergeSplit::outputSuffix() const {
    const QStringList files = mergeList();
    return !files.isEmpty() && kx::fileSuffixKey(files.first()) == QLatin1String("tfc")
               ? QStringLiteral(".TFC")
               : QStringLiteral(".TMC");
}

bool FileMergeSplit::executeMerge(const QString& outputName) {
    // The merge lets the event loop run: a second press, or entries removed
    // meanwhile, must not reach the merge under way.
    if (merging)
        return false;
    merging = true;
    setButtonsEnabled(false);
    emit DoExecuteMerge(mergeList(), outputName);
    setButtonsEnabled(true);
    merging = false;
    return worker->lastMergeSucceeded();
}

void FileMergeSplit::updateMergeProgress(int percent) {
    ui->pbMerge->setValue(percent);
}

void FileMergeSplit::mergeFinished() {
    ui->pbMerge->hide();
}

void FileMergeSplit::setButtonsEnabled(bool enabled) {
    for (QPushButton* button : {ui->btnAddFileMerge, ui->btnRemoveMerge, ui->btnMoveUpMerge,
                                ui->btnMoveDownMerge, ui->btnExecuteMerge})
        button->setEnabled(enabled);
    ui->lwMergeFiles->setEnabled(enabled);
}

void FileMergeSplit::addMergeFiles() {
    const QStringList chosen = QFileDialog::getOpenFileNames(this, QStringLiteral("Open file(s)"));
    QStringList present = mergeList();
    for (const QString& path : chosen) {
        if (!present.contains(path)) {
            addFileToMergeList(path);
            present << path;
        }
    }
}

void FileMergeSplit::removeMergeFile() {
    if (merging)
        return;
    qDeleteAll(ui->lwMergeFiles->selectedItems());
}

void FileMergeSplit::moveCurrent(int step) {
    if (merging || ui->lwMergeFiles->selectedItems().size() != 1)
        return;
    const int row = ui->lwMergeFiles->currentRow();
    const int target = row + step;
    if (row < 0 || target < 0 || target >= ui->lwMergeFiles->count())
        return;
    QListWidgetItem* item = ui->lwMergeFiles->takeItem(row);
    ui->lwMergeFiles->insertItem(target, item);
    ui->lwMergeFiles->setCurrentRow(target);
}

void FileMergeSplit::moveMergeFileUp() {
    moveCurrent(-1);
}

void FileMergeSplit::moveMergeFileDown() {
    moveCurrent(1);
}

void FileMergeSplit::startMerge() {
    if (merging)
        return;
    const QString suffix = outputSuffix();
    const QString name = QFileDialog::getSaveFileName(
        this, QStringLiteral("Save to"), QStringLiteral("merge") + suffix,
        QStringLiteral("Kestrum files (*.TMC *.TFC)"));
    if (name.isEmpty())
        return;
    ui->pbMerge->setValue(0);
    ui->pbMerge->show();
    executeMerge(name);
}
