#include "app/gauge_qt.h"

#include <QPainter>

#include "app/fonts_qt.h"

namespace zjig {

GaugeWidget::GaugeWidget(QWidget* parent) : QWidget(parent) {
    QFont f = fonts::Calibri(16);
    f.setBold(false);
    setFont(f);
}

void GaugeWidget::SetState(const GaugeState& state) {
    if (state.color == state_.color && state.maximum == state_.maximum &&
        state.progress == state_.progress)
        return;
    state_ = state;
    update();
}

QString GaugeWidget::PercentText() const { return QString::number(state_.Percent()) + "%"; }

QRect GaugeWidget::Inner() const { return rect().adjusted(1, 1, -1, -1); }

int GaugeWidget::FilledWidth() const {
    const int w = Inner().width();
    const int progress = state_.progress < 0 ? 0 : state_.progress;
    if (state_.maximum <= 0) return progress > 0 ? w : 0;
    const int clamped = progress > state_.maximum ? state_.maximum : progress;
    return static_cast<int>(static_cast<long long>(w) * clamped / state_.maximum);
}

void GaugeWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // Sunken single border, white background.
    painter.fillRect(rect(), Qt::white);
    painter.setPen(QColor(160, 160, 160));
    painter.drawLine(0, 0, width() - 1, 0);
    painter.drawLine(0, 0, 0, height() - 1);
    painter.setPen(QColor(255, 255, 255));
    painter.drawLine(0, height() - 1, width() - 1, height() - 1);
    painter.drawLine(width() - 1, 0, width() - 1, height() - 1);

    const QRect inner = Inner();
    const QRect bar(inner.left(), inner.top(), FilledWidth(), inner.height());
    painter.fillRect(bar, QColor(state_.color.r, state_.color.g, state_.color.b));

    painter.setPen(Qt::black);
    painter.setFont(font());
    painter.drawText(inner, Qt::AlignCenter, PercentText());
}

}  // namespace zjig
