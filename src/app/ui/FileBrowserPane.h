#pragma once

#include <QItemSelection>
#include <QObject>
#include <QString>

class QFileSystemModel;
class QListView;
class QTreeView;

// The file browser of the main window: the folder tree and the list of the
// recordings and pictures in the folder chosen there. The widgets belong to
// the window's form; the pane fills them and tells the window what the user
// chose.
class FileBrowserPane : public QObject {
    Q_OBJECT
public:
    FileBrowserPane(QTreeView* folders, QListView* files, QObject* parent);

    // Shows folder path in the tree and its files in the list.
    void showFolder(const QString& path);
    // Selects fileName in the list, showing its folder first; a folder still
    // being read is retried when its rows arrive.
    void selectFile(const QString& fileName);
    // After a file did not open: selects shownFile again when its folder is
    // on show, else clears the selection. Another folder is not left for it.
    void showShownFile(const QString& shownFile);
    // The folder the list shows.
    QString folder() const;

signals:
    // A file (not a folder) was selected in the list.
    void fileChosen(const QString& fileName);
    // The list moved to another folder, chosen in the tree or by selectFile.
    void folderShown(const QString& path);

private:
    void onSelectionChanged(const QItemSelection& selection);
    void onFolderClicked(const QModelIndex& index);
    void keepCurrentFolderInSight();

    QTreeView* folders;
    QListView* files;
    QFileSystemModel* dirModel;
    QFileSystemModel* fileModel;
    QString pendingSelection;
};
