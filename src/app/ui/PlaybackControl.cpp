#include "app/ui/PlaybackControl.h"

#include "recording/DataConverter.h"
#include "recording/ui/TimelineMarks.h"

#include <QBoxLayout>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSlider>
#include <QThread>
#include <QTimer>

PlaybackControl::PlaybackControl(const Widgets& widgets, QWidget* keyParent,
                                 const DataConverter* converter, std::function<bool()> playable,
                                 QObject* parent)
    : QObject(parent)
    , w(widgets)
    , converter(converter)
    , playable(std::move(playable))
    , marks(new TimelineMarks(w.slider)) {
    connect(w.slider, &QSlider::valueChanged, this, [this](int frame) {
        emit frameChosen(frame);
        showPosition();
    });
    connect(w.frameDown, &QPushButton::clicked, this,
            [this]() { w.slider->setValue(w.slider->value() - 1); });
    connect(w.frameUp, &QPushButton::clicked, this,
            [this]() { w.slider->setValue(w.slider->value() + 1); });
    connect(w.setStart, &QPushButton::clicked, this,
            [this]() { w.start->setText(QString::number(w.slider->value())); });
    connect(w.setEnd, &QPushButton::clicked, this,
            [this]() { w.end->setText(QString::number(w.slider->value())); });
    connect(w.play, &QPushButton::clicked, this, [this]() { playAt(1); });
    connect(w.playDouble, &QPushButton::clicked, this, [this]() { playAt(2); });
    connect(w.playTriple, &QPushButton::clicked, this, [this]() { playAt(3); });
    for (QPushButton* speed : {w.play, w.playDouble, w.playTriple})
        speed->setCheckable(true);

    const std::pair<Qt::Key, int> keys[] = {{Qt::Key_Left, -1}, {Qt::Key_Right, 1}};
    for (const auto& [key, delta] : keys) {
        auto* shortcut = new QShortcut(QKeySequence(key), keyParent);
        connect(shortcut, &QShortcut::activated, this,
                [this, step = delta]() { stepFrames(step); });
    }
    const std::pair<Qt::Key, bool> ends[] = {{Qt::Key_Home, false}, {Qt::Key_End, true}};
    for (const auto& [key, last] : ends) {
        auto* shortcut = new QShortcut(QKeySequence(key), keyParent);
        connect(shortcut, &QShortcut::activated, this, [this, toLast = last]() {
            QSlider* slider = w.slider;
            stepFrames((toLast ? slider->maximum() : slider->minimum()) -
                       (frameStepQueued ? pendingFrame : slider->value()));
        });
    }
    w.start->setValidator(new QIntValidator(0, 100000, w.start));
    w.end->setValidator(new QIntValidator(0, 100000, w.end));
    setupAdaptiveLayout();
}

void PlaybackControl::setFrames(int frameCount, int frame) {
    {
        const QSignalBlocker block(w.slider);
        w.slider->setMaximum(frameCount);
        w.slider->setValue(frame);
    }
    w.start->setText(QString::number(frame));
    w.end->setText(QString::number(frameCount));
    frameTime.clear();
    showPosition();
}

void PlaybackControl::setFrameTime(const QString& time) {
    frameTime = time;
    showPosition();
}

void PlaybackControl::showPosition() {
    QString text = QString::number(w.slider->value()) + QStringLiteral(" / ") +
                   QString::number(w.slider->maximum());
    if (!frameTime.isEmpty())
        text += QStringLiteral("  ") + frameTime;
    w.position->setText(text);
}

void PlaybackControl::setMarks(const std::vector<int32_t>& ffcFrames,
                               const std::vector<int32_t>& counterGaps) {
    marks->setMarks(ffcFrames, counterGaps);
}

void PlaybackControl::clearMarks() {
    marks->clearMarks();
}

void PlaybackControl::setVisible(bool visible) {
    w.controls->setVisible(visible);
}

bool PlaybackControl::isShown() const {
    return !w.controls->isHidden();
}

int PlaybackControl::frame() const {
    return w.slider->value();
}

int PlaybackControl::frameCount() const {
    return w.slider->maximum();
}

void PlaybackControl::setFrame(int frame) {
    w.slider->setValue(frame);
}

QString PlaybackControl::startText() const {
    return w.start->text();
}

QString PlaybackControl::endText() const {
    return w.end->text();
}

void PlaybackControl::setRangeTexts(const QString& start, const QString& end) {
    w.start->setText(start);
    w.end->setText(end);
}

void PlaybackControl::stepFrames(int delta) {
    if (!w.controls->isVisible())
        return;
    QSlider* slider = w.slider;
    const int from = frameStepQueued ? pendingFrame : slider->value();
    pendingFrame = qBound(slider->minimum(), from + delta, slider->maximum());
    if (frameStepQueued)
        return;
    frameStepQueued = true;
    // Presses already waiting are handled before the queued step runs.
    QTimer::singleShot(0, this, [this]() {
        frameStepQueued = false;
        w.slider->setValue(pendingFrame);
    });
}

void PlaybackControl::playAt(unsigned speed) {
    playSpeed = speed;
    togglePlaying();
}

void PlaybackControl::showPlaybackState() {
    const std::pair<QPushButton*, unsigned> speeds[] = {
        {w.play, 1}, {w.playDouble, 2}, {w.playTriple, 3}};
    for (const auto& [button, speed] : speeds)
        button->setChecked(playing && playSpeed == speed);
}

void PlaybackControl::togglePlaying() {
    if (playing) {
        // The running loop ends at its next step.
        playing = false;
        showPlaybackState();
        return;
    }
    // Only a movie has frames to step through; a single frame or a picture
    // leaves the slider where it is.
    if (!playable()) {
        showPlaybackState();
        return;
    }
    playing = true;
    showPlaybackState();
    QElapsedTimer timer;
    while (playing && w.slider->value() < converter->getNumberOfVideoFrames()) {
        timer.restart();
        w.slider->setValue(w.slider->value() + 1);
        const qint64 interval = qint64(converter->getTimeToNextImage() / playSpeed);
        const qint64 elapsed = timer.elapsed();
        if (elapsed < interval) {
            const qint64 until = QDateTime::currentMSecsSinceEpoch() + (interval - elapsed);
            while (QDateTime::currentMSecsSinceEpoch() < until) {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
                QThread::msleep(1);
            }
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    }
    playing = false;
    showPlaybackState();
}

// ---- How the navigation fits a narrow pane -------------------------------------

void PlaybackControl::setupAdaptiveLayout() {
    // The export range (begin and end fields with their buttons) becomes one
    // widget that sits at the end of the button row or on a row of its own,
    // its begin and end parts side by side or one above the other.
    frameRange = new QWidget(w.controls);
    frameRange->setObjectName(QStringLiteral("wgFrameRange"));
    auto* grid = new QGridLayout(frameRange);
    grid->setContentsMargins(0, 0, 0, 0);
    QBoxLayout* row = w.buttonRow;
    const int from = row->indexOf(w.startLabel);
    while (row->count() > from) {
        QLayoutItem* item = row->takeAt(from);
        if (QWidget* widget = item->widget())
            widget->setParent(frameRange);
        delete item; // the spacer between the parts becomes a column gap
    }
    arrangeFrameRange(true);
    rangeLineWidth = frameRange->sizeHint().width();
    steppingRowWidth = row->sizeHint().width();
    row->addWidget(frameRange);
    w.controls->installEventFilter(this);
}

bool PlaybackControl::eventFilter(QObject* watched, QEvent* event) {
    if (watched == w.controls && event->type() == QEvent::Resize)
        arrangeNavigationRows(static_cast<QResizeEvent*>(event)->size().width());
    return QObject::eventFilter(watched, event);
}

void PlaybackControl::arrangeFrameRange(bool oneLine) {
    auto* grid = static_cast<QGridLayout*>(frameRange->layout());
    QWidget* begin[] = {w.startLabel, w.start, w.setStart};
    QWidget* end[] = {w.endLabel, w.end, w.setEnd};
    for (int i = 0; i < 3; ++i) {
        grid->addWidget(begin[i], 0, i);
        grid->removeWidget(end[i]);
        if (oneLine)
            grid->addWidget(end[i], 0, 4 + i);
        else
            grid->addWidget(end[i], 1, i);
    }
    grid->setColumnMinimumWidth(3, oneLine ? 12 : 0);
}

void PlaybackControl::arrangeNavigationRows(int width) {
    const QMargins margins = w.controlsLayout->contentsMargins();
    const int available = width - margins.left() - margins.right();
    const bool beside = available >= steppingRowWidth + w.buttonRow->spacing() + rangeLineWidth;
    const bool oneLine = available >= rangeLineWidth;
    const bool inButtonRow = w.buttonRow->indexOf(frameRange) >= 0;
    if (beside != inButtonRow) {
        if (beside) {
            w.controlsLayout->removeWidget(frameRange);
            w.buttonRow->addWidget(frameRange);
        } else {
            w.buttonRow->removeWidget(frameRange);
            w.controlsLayout->addWidget(frameRange, 0, Qt::AlignLeft);
        }
    }
    auto* grid = static_cast<QGridLayout*>(frameRange->layout());
    const bool isOneLine = grid->itemAtPosition(1, 0) == nullptr;
    if (oneLine != isOneLine)
        arrangeFrameRange(oneLine);
}
