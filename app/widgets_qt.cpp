#include "app/widgets_qt.h"

#include <QPainter>
#include <QResizeEvent>

namespace zjig {

ShapeWidget::ShapeWidget(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void ShapeWidget::SetFill(const QColor& color) {
    if (color == fill_) return;
    fill_ = color;
    update();
}

void ShapeWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(fill_);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = std::min(r.width(), r.height()) / 4.0;
    painter.drawRoundedRect(r, radius, radius);
}

RadioGroupBox::RadioGroupBox(const QString& title, int columns, QWidget* parent)
    : QGroupBox(title, parent), columns_(columns < 1 ? 1 : columns) {
    group_.setExclusive(true);
    connect(&group_, &QButtonGroup::idClicked, this, &RadioGroupBox::itemClicked);
}

void RadioGroupBox::SetItems(const QStringList& items) {
    if (items == Items()) return;
    for (auto* b : buttons_) {
        group_.removeButton(b);
        delete b;
    }
    buttons_.clear();
    for (int i = 0; i < items.size(); ++i) {
        auto* b = new QRadioButton(items[i], this);
        b->setObjectName(QStringLiteral("%1_item%2").arg(objectName()).arg(i));
        group_.addButton(b, i);
        buttons_.push_back(b);
        b->show();
    }
    Place();
}

QStringList RadioGroupBox::Items() const {
    QStringList out;
    for (auto* b : buttons_) out << b->text();
    return out;
}

void RadioGroupBox::SetItemIndex(int index) {
    if (index >= 0 && index < buttons_.size()) {
        buttons_[index]->setChecked(true);
        return;
    }
    // An exclusive group cannot be emptied by unchecking its checked button.
    group_.setExclusive(false);
    for (auto* b : buttons_) b->setChecked(false);
    group_.setExclusive(true);
}

int RadioGroupBox::ItemIndex() const { return group_.checkedId(); }

QRadioButton* RadioGroupBox::Button(int index) const {
    return index >= 0 && index < buttons_.size() ? buttons_[index] : nullptr;
}

void RadioGroupBox::resizeEvent(QResizeEvent* event) {
    QGroupBox::resizeEvent(event);
    Place();
}

void RadioGroupBox::Place() {
    // Items fill the columns row by row below the title, as in the original frame.
    if (buttons_.isEmpty()) return;
    const int left = 8, top = 18, right = 8, bottom = 4;
    const int rows = (static_cast<int>(buttons_.size()) + columns_ - 1) / columns_;
    const int colWidth = (width() - left - right) / columns_;
    const int rowHeight = std::max(1, (height() - top - bottom) / rows);
    for (int i = 0; i < buttons_.size(); ++i) {
        const int col = i % columns_, row = i / columns_;
        buttons_[i]->setGeometry(left + col * colWidth, top + row * rowHeight, colWidth,
                                 rowHeight);
    }
}

}  // namespace zjig
