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
    setHeaderLabels({scale.unit(), tr("Min"), tr("Max"), tr("Mean"), tr("Min at"), tr("Max at")});
    // The selection survives the rebuild (a playing movie refreshes the
    // list every frame).
    const QSignalBlocker block(this);
    const int selected = currentIndex().row();
    clear();
    const auto& tools = m_tools->tools();
    const auto& statistics = m_tools->statistics();
    auto point = [](const QPoint& p) { return QStringLiteral("%1, %2").arg(p.x()).arg(p.y()); };
    for (size_t i = 0; i < tools.size(); ++i) {
        const kx::measure::Tool& tool = tools[i];
        const kx::measure::Statistics stats =
            i < statistics.size() ? statistics[i] : kx::measure::Statistics();
        auto* item = new QTreeWidgetItem(this);
        item->setText(0, tool.label);
        item->setToolTip(0, kx::measure::describe(tool));
        if (!stats.valid())
            continue;
        item->setText(1, scale.format(stats.min));
        item->setText(2, scale.format(stats.max));
        item->setText(3, scale.format(stats.mean));
        if (tool.kind != kx::measure::Kind::Spot) {
            item->setText(4, point(stats.minAt));
            item->setText(5, point(stats.maxAt));
        }
        for (int column = 1; column < 4; ++column)
            item->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
    }
    if (selected >= 0 && selected < topLevelItemCount())
        setCurrentItem(topLevelItem(selected));
    else
        m_tools->setSelectedTool(-1);
}
