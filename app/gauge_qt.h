// The progress gauge Gauge1: a horizontal bar in the phase colour with the
// whole percentage centred on it.
#pragma once

#include <QWidget>

#include "app/ui_port.h"

namespace zjig {

class GaugeWidget : public QWidget {
    Q_OBJECT
public:
    explicit GaugeWidget(QWidget* parent = nullptr);
    void SetState(const GaugeState& state);
    GaugeState State() const { return state_; }
    // The text drawn in the centre: "NN%".
    QString PercentText() const;
    // The width in pixels of the filled part inside the border.
    int FilledWidth() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect Inner() const;
    GaugeState state_;
};

}  // namespace zjig
