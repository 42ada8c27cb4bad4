// The soldering-point windows: TENE_for_solder (ENE boards over soldered
// wires) and TForm_MEC (MEC chips over JTAG). Each shows a drawing of the
// JIG's soldering cable beside a column of labels, one per marked wire.
#pragma once

#include <QLabel>
#include <QWidget>

#include <vector>

namespace zjig {

struct Program;
class QtUiPort;

// The drawing of the soldering cable: the connector with its first contact
// marked, eight wires, six of them ringed with an arrow to a label row.
class SolderCablePicture : public QWidget {
    Q_OBJECT
public:
    // rowCentres: the vertical centres of the six label rows, top to bottom,
    // in the picture's coordinates.
    SolderCablePicture(std::vector<int> rowCentres, QWidget* parent = nullptr);
    const std::vector<int>& RowCentres() const { return rows_; }
    // Where the arrow of row i ends (its tip), in the picture's coordinates.
    QPoint ArrowTip(int row) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<int> rows_;
};

class EneSolderWindow : public QWidget {
    Q_OBJECT
public:
    EneSolderWindow(Program& p, QtUiPort& port);
    SolderCablePicture* Picture() const { return picture_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    Program& p_;
    QtUiPort& port_;
    SolderCablePicture* picture_;
};

class MecSolderWindow : public QWidget {
    Q_OBJECT
public:
    // mainWindow: the window this one opens centred over.
    MecSolderWindow(Program& p, QtUiPort& port, QWidget* mainWindow);
    SolderCablePicture* Picture() const { return picture_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    Program& p_;
    QtUiPort& port_;
    QWidget* main_;
    SolderCablePicture* picture_;
};

}  // namespace zjig
