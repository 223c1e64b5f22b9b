#include "recording/ui/TimelineMarks.h"

#include <QEvent>
#include <QPainter>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>

TimelineMarks::TimelineMarks(QSlider* slider)
    : QWidget(slider)
    , m_slider(slider) {
    setObjectName(QStringLiteral("timelineMarks"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setGeometry(slider->rect());
    slider->installEventFilter(this);
    connect(slider, &QSlider::rangeChanged, this, qOverload<>(&QWidget::update));
}

void TimelineMarks::setMarks(const std::vector<int32_t>& ffcFrames,
                             const std::vector<int32_t>& counterGaps) {
    m_ffc.assign(ffcFrames.begin(), ffcFrames.end());
    m_gaps.clear();
    for (int32_t index : counterGaps)
        m_gaps.push_back(index + 1);
    const auto count = [](size_t n, const QString& one, const QString& many) {
        return (n == 1 ? one : many).arg(n);
    };
    QStringList parts;
    if (!m_ffc.empty())
        parts << count(m_ffc.size(), tr("%1 FFC frame"), tr("%1 FFC frames"));
    if (!m_gaps.empty())
        parts << count(m_gaps.size(), tr("%1 counter gap"), tr("%1 counter gaps"));
    const QString tip = parts.join(QStringLiteral(", "));
    m_slider->setToolTip(tip);
    update();
}

void TimelineMarks::clearMarks() {
    setMarks({}, {});
}

int TimelineMarks::xOfFrame(int frame) const {
    QStyleOptionSlider option;
    option.initFrom(m_slider);
    option.orientation = m_slider->orientation();
    option.minimum = m_slider->minimum();
    option.maximum = m_slider->maximum();
    option.sliderPosition = frame;
    option.sliderValue = frame;
    option.upsideDown = m_slider->invertedAppearance();
    option.subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderHandle;
    const QRect handle = m_slider->style()->subControlRect(QStyle::CC_Slider, &option,
                                                           QStyle::SC_SliderHandle, m_slider);
    return handle.center().x();
}

bool TimelineMarks::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_slider && event->type() == QEvent::Resize)
        setGeometry(m_slider->rect());
    return QWidget::eventFilter(watched, event);
}

void TimelineMarks::paintEvent(QPaintEvent*) {
    if (m_ffc.empty() && m_gaps.empty())
        return;
    QPainter painter(this);
    const int h = height();
    // FFC frames above the groove, gaps below it, so both stay visible
    // where they meet.
    painter.setPen(QPen(QColor(0, 120, 255), 2));
    for (int frame : m_ffc)
        painter.drawLine(xOfFrame(frame), 0, xOfFrame(frame), h / 3);
    painter.setPen(QPen(QColor(220, 0, 0), 2));
    for (int frame : m_gaps)
        painter.drawLine(xOfFrame(frame), h - h / 3, xOfFrame(frame), h);
}
