#pragma once

#include <QTreeWidget>

class MeasurementTools;

// The measurements of the image view with their statistics, for the Image
// Details panel: one row per tool, in the unit the read-out uses. Selecting a
// row chooses the tool that "Delete measurement" removes; the context menu
// offers the tools' actions.
class MeasurementList : public QTreeWidget {
    Q_OBJECT
public:
    explicit MeasurementList(MeasurementTools* tools, QWidget* parent = nullptr);
    // Small, whatever the columns hold: the details panel takes its width
    // from its contents, and the list scrolls instead of widening it.
    QSize sizeHint() const override { return QSize(160, 120); }
    QSize minimumSizeHint() const override { return QSize(100, 80); }

private:
    void refresh();
    MeasurementTools* m_tools;
};
