#include "app/ui/FileBrowserPane.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QListView>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTimer>
#include <QTreeView>

FileBrowserPane::FileBrowserPane(QTreeView* folders, QListView* files, QObject* parent)
    : QObject(parent)
    , folders(folders)
    , files(files)
    , dirModel(new QFileSystemModel(this))
    , fileModel(new QFileSystemModel(this)) {
    dirModel->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    dirModel->setRootPath(QString());
    folders->setModel(dirModel);
    // The tree is read in the background: keep the current folder in sight
    // while the folders above it arrive.
    // The rows of a folder arrive just after its directoryLoaded signal.
    connect(dirModel, &QFileSystemModel::directoryLoaded, this, [this](const QString& path) {
        const QString currentPath = dirModel->filePath(this->folders->currentIndex());
        if (!currentPath.startsWith(path))
            return;
        QTimer::singleShot(50, this, [this]() { keepCurrentFolderInSight(); });
    });
    for (int column = 1; column < dirModel->columnCount(); ++column)
        folders->hideColumn(column);
    // A folder nested deeper than the pane is wide would be cut off by a
    // column stretched to the pane; a column as wide as its names scrolls.
    folders->header()->setStretchLastSection(false);
    folders->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    connect(folders, &QTreeView::clicked, this, &FileBrowserPane::onFolderClicked);

    fileModel->setFilter(QDir::Files | QDir::NoSymLinks);
    // Single compressed frames and pictures are listed beside the recordings
    // because selecting one opens it; the model compares the patterns without
    // regard to case.
    fileModel->setNameFilters({QStringLiteral("*.TMC"), QStringLiteral("*.THM"),
                               QStringLiteral("*.THR"), QStringLiteral("*.TFC"),
                               QStringLiteral("*.THC"), QStringLiteral("*.JPG"),
                               QStringLiteral("*.JPEG"), QStringLiteral("*.PNG")});
    fileModel->setNameFilterDisables(false);
    files->setModel(fileModel);
    connect(files->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &FileBrowserPane::onSelectionChanged);
    // A file opened before its folder was read is selected once it is.
    const auto retrySelection = [this]() {
        if (!pendingSelection.isEmpty())
            selectFile(pendingSelection);
    };
    connect(fileModel, &QFileSystemModel::directoryLoaded, this, retrySelection);
    connect(fileModel, &QFileSystemModel::rowsInserted, this, retrySelection, Qt::QueuedConnection);
}

QString FileBrowserPane::folder() const {
    return fileModel->rootPath();
}

void FileBrowserPane::showFolder(const QString& path) {
    const QModelIndex dirIndex = dirModel->index(path);
    folders->setCurrentIndex(dirIndex);
    folders->expand(dirIndex);
    keepCurrentFolderInSight();
    fileModel->setRootPath(path);
    files->setRootIndex(fileModel->index(path));
}

void FileBrowserPane::keepCurrentFolderInSight() {
    const QModelIndex current = folders->currentIndex();
    if (!current.isValid())
        return;
    folders->scrollTo(current, QAbstractItemView::PositionAtCenter);
    // The view scrolls rows into sight but not the indentation of deep ones:
    // bring the folder's name in, with its parent's level beside it.
    const int left = folders->visualRect(current).left() - folders->indentation();
    QScrollBar* bar = folders->horizontalScrollBar();
    if (left < 0 || left > folders->viewport()->width() / 2)
        bar->setValue(bar->value() + left);
}

void FileBrowserPane::onFolderClicked(const QModelIndex& index) {
    const QString path = dirModel->filePath(index);
    fileModel->setRootPath(path);
    files->setRootIndex(fileModel->index(path));
    emit folderShown(path);
}

void FileBrowserPane::onSelectionChanged(const QItemSelection& selection) {
    const QModelIndexList indexes = selection.indexes();
    if (indexes.isEmpty() || fileModel->isDir(indexes.first()))
        return;
    emit fileChosen(fileModel->filePath(indexes.first()));
}

void FileBrowserPane::selectFile(const QString& fileName) {
    const QFileInfo info(fileName);
    const QString folder = info.absolutePath();
    const QString path = info.absoluteFilePath();
    const QSignalBlocker blockTree(folders);
    const QSignalBlocker blockList(files);
    const QSignalBlocker blockTreeSelection(folders->selectionModel());
    const QSignalBlocker blockListSelection(files->selectionModel());
    if (fileModel->rootPath() != folder) {
        showFolder(folder);
        emit folderShown(folder);
    }
    const QModelIndex fileIndex = fileModel->index(path);
    if (!fileIndex.isValid()) {
        // The folder is still being read, or the file is new to it; the model's
        // next rows retry. The file opened before must not stay selected or
        // current meanwhile: the view would announce it again and reopen it.
        files->selectionModel()->clear();
        pendingSelection = path;
        return;
    }
    pendingSelection.clear();
    files->selectionModel()->setCurrentIndex(fileIndex, QItemSelectionModel::ClearAndSelect);
    files->scrollTo(fileIndex, QAbstractItemView::PositionAtCenter);
    files->setFocus();
}

void FileBrowserPane::showShownFile(const QString& shownFile) {
    // A file that did not open leaves the one on screen; the list must not
    // claim otherwise.
    if (!shownFile.isEmpty() && QFileInfo(shownFile).absolutePath() == fileModel->rootPath()) {
        selectFile(shownFile);
        return;
    }
    const QSignalBlocker block(files->selectionModel());
    files->selectionModel()->clear();
}
