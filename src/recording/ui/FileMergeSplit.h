#pragma once

#include <QDialog>
#include <QStringList>
#include <QWidget>
#include <memory>

namespace Ui {
class FileMergeSplit;
}

// Runs a merge for the dialog and reports its progress. Never shown.
class FileMergeSplitWorker : public QWidget {
    Q_OBJECT
public:
    explicit FileMergeSplitWorker(QWidget* parent = nullptr);
    bool lastMergeSucceeded() const { return succeeded; }

public slots:
    // Takes the list by value: the dialog's list may change while the merge
    // lets the event loop run.
    void executeMerge(QStringList files, QString outputName);

signals:
    void finishedMergeProcess();
    void mergeProcessPercentage(int percent);

private:
    bool succeeded = false;
};

// The list of recordings to join, and the merge that joins them.
class FileMergeSplit : public QDialog {
    Q_OBJECT
public:
    explicit FileMergeSplit(QWidget* parent = nullptr);
    ~FileMergeSplit() override;

    void addFileToMergeList(const QString& path);
    QStringList mergeList() const;
    // Merges the list into outputName; false when refused or failed (reported).
    bool executeMerge(const QString& outputName);
    bool isMerging() const { return merging; }
    // ".TFC" when the first entry is a fusion recording, else ".TMC".
    QString outputSuffix() const;

signals:
    void DoExecuteMerge(QStringList files, QString outputName);

public slots:
    void updateMergeProgress(int percent);
    void mergeFinished();

private:
    void addMergeFiles();
    void removeMergeFile();
    void moveMergeFileUp();
    void moveMergeFileDown();
    void startMerge();
    void moveCurrent(int step);
    void setButtonsEnabled(bool enabled);

    std::unique_ptr<Ui::FileMergeSplit> ui;
    FileMergeSplitWorker* worker = nullptr;
    bool merging = false;
};
