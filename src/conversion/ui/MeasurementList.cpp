#include "conversion/ui/MeasurementList.h"

#include "conversion/ui/MeasurementTools.h"

#include <QHeaderView>

MeasurementList::MeasurementList(MeasurementTools* tools, QWidget* parent)
    : QTreeWidget(parent)
    , m_tools(tools) {
    setObjectName(QStringLiteral("twMeasurements"));
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    addActions(tools->actions());
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);
    setMinimumHeight(90);
    connect(tools, &MeasurementTools::measurementsChanged, this, &MeasurementList::refresh);
    connect(this, &QTreeWidget::itemSelectionChanged, this, [this]() {
        const QModelIndexList rows = selectionModel()->selectedRows();
        m_tools->setSelectedTool(rows.isEmpty() ? -1 : rows.first().row());
    });
    refresh();
}

void MeasurementList::refresh() {
    const kx::measure::Scale& scale = m_tools->scale();
    // The first column's header names the unit of the three values, which
    // keeps the columns narrow enough for the details panel.
    if (headerItem()->text(0) != scale.unit())
        setHeaderLabels(
            {scale.unit(), tr("Min"), tr("Max"), tr("Mean"), tr("Min at"), tr("Max at")});
    // A playing movie refreshes the list every frame: the rows are kept
    // (and with them the selection) while the tools stay the same.
    const QSignalBlocker block(this);
    const auto& tools = m_tools->tools();
    const auto& statistics = m_tools->statistics();
    const bool sameRows = topLevelItemCount() == int(tools.size());
    const int selected = sameRows ? currentIndex().row() : -1;
    if (!sameRows) {
        clear();
        for (size_t i = 0; i < tools.size(); ++i) {
            auto* item = new QTreeWidgetItem(this);
            for (int column = 1; column < 4; ++column)
                item->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
        }
    }
    auto point = [](const QPoint& p) { return QStringLiteral("%1, %2").arg(p.x()).arg(p.y()); };
    for (size_t i = 0; i < tools.size(); ++i) {
        const kx::measure::Tool& tool = tools[i];
        const kx::measure::Statistics stats =
            i < statistics.size() ? statistics[i] : kx::measure::Statistics();
        const bool extremes = stats.valid() && tool.kind != kx::measure::Kind::Spot;
        QTreeWidgetItem* item = topLevelItem(int(i));
        item->setText(0, tool.label);
        item->setToolTip(0, kx::measure::describe(tool));
        item->setText(1, stats.valid() ? scale.format(stats.min) : QString());
        item->setText(2, stats.valid() ? scale.format(stats.max) : QString());
        item->setText(3, stats.valid() ? scale.format(stats.mean) : QString());
        item->setText(4, extremes ? point(stats.minAt) : QString());
        item->setText(5, extremes ? point(stats.maxAt) : QString());
    }
    if (selected < 0)
        m_tools->setSelectedTool(-1);
}
