// Small widgets the windows share: a filled shape and a radio group whose
// items and chosen item come from the form model.
#pragma once

#include <QButtonGroup>
#include <QColor>
#include <QGroupBox>
#include <QList>
#include <QRadioButton>
#include <QStringList>
#include <QWidget>

namespace zjig {

// A rectangle with rounded corners, a black outline and a fill colour.
class ShapeWidget : public QWidget {
    Q_OBJECT
public:
    explicit ShapeWidget(QWidget* parent = nullptr);
    void SetFill(const QColor& color);
    QColor Fill() const { return fill_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor fill_{Qt::white};
};

// A frame with radio buttons in columns; no item chosen is a valid state.
class RadioGroupBox : public QGroupBox {
    Q_OBJECT
public:
    RadioGroupBox(const QString& title, int columns, QWidget* parent = nullptr);
    void SetItems(const QStringList& items);
    QStringList Items() const;
    // -1: no item chosen.
    void SetItemIndex(int index);
    int ItemIndex() const;
    QRadioButton* Button(int index) const;

signals:
    // The user chose an item.
    void itemClicked(int index);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Place();
    int columns_;
    QButtonGroup group_;
    QList<QRadioButton*> buttons_;
};

}  // namespace zjig
