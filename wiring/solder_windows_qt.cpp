#include "wiring/solder_windows_qt.h"

#include <QCloseEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

#include "app/fonts_qt.h"
#include "app/program.h"
#include "app/qt_ui_port_qt.h"

namespace zjig {

namespace {

constexpr int kClientWidth = 491;
constexpr int kClientHeight = 621;
constexpr QPoint kPictureAt{8, 8};
constexpr QSize kPictureSize{329, 553};
constexpr int kLabelHeight = 40;

// Picture layout.
constexpr int kWires = 8;
constexpr int kFirstWireX = 60;   // centre of wire 1
constexpr int kWirePitch = 18;
constexpr int kWireWidth = 11;
constexpr int kConnectorTop = 34;
constexpr int kConnectorBottom = 84;
constexpr int kRibbonEnd = 190;   // the wires run joined down to here
constexpr int kLooseEnd = 470;    // where the two unmarked wires are cut

const QColor kWireColors[kWires] = {
    QColor(122, 74, 40),  QColor(215, 40, 40),  QColor(240, 140, 20), QColor(236, 214, 40),
    QColor(40, 160, 70),  QColor(40, 90, 215),  QColor(140, 60, 190), QColor(150, 150, 150)};

int WireX(int k) { return kFirstWireX + k * kWirePitch; }

// The wire (0-based) that the label row (0 = top) belongs to: the rightmost
// wire ends at the top row, so no arrow crosses a wire.
int WireOfRow(int row) { return kWires - 1 - row; }

QLabel* AddLabel(QWidget* parent, const char* name, const char* caption, QPoint at, int width,
                 const QFont& font) {
    auto* label = new QLabel(QString::fromUtf8(caption), parent);
    label->setObjectName(name);
    label->setFont(font);
    label->setGeometry(at.x(), at.y(), width, kLabelHeight);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return label;
}

std::vector<int> RowCentres(std::initializer_list<int> labelTops) {
    std::vector<int> out;
    for (int top : labelTops) out.push_back(top + kLabelHeight / 2 - kPictureAt.y());
    return out;
}

void CentreOver(QWidget* w, const QRect& area) {
    QRect r = w->frameGeometry();
    r.moveCenter(area.center());
    w->move(r.topLeft());
}

}  // namespace

SolderCablePicture::SolderCablePicture(std::vector<int> rowCentres, QWidget* parent)
    : QWidget(parent), rows_(std::move(rowCentres)) {
    setFixedSize(kPictureSize);
}

QPoint SolderCablePicture::ArrowTip(int row) const {
    return QPoint(width() - 4, rows_.at(static_cast<size_t>(row)));
}

void SolderCablePicture::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);

    // Work mat.
    QLinearGradient mat(0, 0, 0, height());
    mat.setColorAt(0, QColor(214, 222, 228));
    mat.setColorAt(1, QColor(188, 198, 206));
    p.fillRect(rect(), mat);
    p.setPen(QColor(150, 160, 168));
    p.drawRect(rect().adjusted(0, 0, -1, -1));

    // The wires: joined as a flat ribbon below the connector, then apart,
    // each ending in a stripped copper tip.
    const int ribbonLeft = WireX(0) - kWireWidth / 2 - 1;
    const int ribbonRight = WireX(kWires - 1) + kWireWidth / 2 + 1;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(70, 70, 70, 60));
    p.drawRect(QRect(QPoint(ribbonLeft + 3, kConnectorBottom + 3),
                     QPoint(ribbonRight + 3, kRibbonEnd + 3)));  // shadow
    for (int k = 0; k < kWires; ++k) {
        int end = kLooseEnd;
        for (size_t row = 0; row < rows_.size(); ++row)
            if (WireOfRow(static_cast<int>(row)) == k) end = rows_[row] - 7;
        const int x = WireX(k);
        const QRect insulation(x - kWireWidth / 2, kConnectorBottom, kWireWidth, end - kConnectorBottom);
        QLinearGradient shade(insulation.left(), 0, insulation.right(), 0);
        shade.setColorAt(0, kWireColors[k].darker(130));
        shade.setColorAt(0.45, kWireColors[k].lighter(125));
        shade.setColorAt(1, kWireColors[k].darker(140));
        p.setBrush(shade);
        p.drawRoundedRect(insulation, 3, 3);
        // Copper tip.
        p.setBrush(QColor(205, 127, 50));
        p.drawRoundedRect(QRect(x - 2, end - 1, 5, 14), 2, 2);
    }
    // The ribbon's web between the wires, down to where they part.
    p.setPen(QPen(QColor(60, 60, 60, 90), 1));
    for (int k = 0; k + 1 < kWires; ++k) {
        const int x = (WireX(k) + WireX(k + 1)) / 2;
        p.drawLine(x, kConnectorBottom, x, kRibbonEnd);
    }

    // Connector housing with its eight contacts.
    const QRect housing(ribbonLeft - 14, kConnectorTop, ribbonRight - ribbonLeft + 28,
                        kConnectorBottom - kConnectorTop + 6);
    p.setPen(QPen(QColor(20, 20, 20), 1));
    QLinearGradient body(0, housing.top(), 0, housing.bottom());
    body.setColorAt(0, QColor(70, 70, 74));
    body.setColorAt(1, QColor(28, 28, 30));
    p.setBrush(body);
    p.drawRoundedRect(housing, 4, 4);
    p.setPen(Qt::NoPen);
    for (int k = 0; k < kWires; ++k) {
        p.setBrush(QColor(228, 190, 80));
        p.drawRect(QRect(WireX(k) - 4, kConnectorTop + 8, 8, 14));
    }
    p.setPen(QColor(235, 235, 235));
    p.setFont(fonts::Calibri(13, true));
    p.drawText(QRect(housing.left(), kConnectorTop + 24, housing.width(), 20), Qt::AlignCenter,
               "JIG");

    // Contact 1: marked with an arrow and its number.
    const QColor mark(220, 0, 0);
    {
        const int x = WireX(0);
        p.setPen(QPen(mark, 2.5));
        p.drawLine(x, 6, x, kConnectorTop - 9);
        QPainterPath head;
        head.moveTo(x, kConnectorTop - 2);
        head.lineTo(x - 6, kConnectorTop - 11);
        head.lineTo(x + 6, kConnectorTop - 11);
        head.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(mark);
        p.drawPath(head);
        p.setPen(mark);
        p.setFont(fonts::Calibri(16, true));
        p.drawText(QRect(x + 8, 2, 60, 22), Qt::AlignLeft | Qt::AlignVCenter, "1");
    }

    // The six marked wires: a ring round the tip and an arrow to the label row.
    for (size_t row = 0; row < rows_.size(); ++row) {
        const int k = WireOfRow(static_cast<int>(row));
        const int x = WireX(k);
        const int y = rows_[row];
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(mark, 2.5));
        p.drawEllipse(QPointF(x, y), 12, 12);
        const QPoint tip = ArrowTip(static_cast<int>(row));
        p.drawLine(QPoint(x + 13, y), QPoint(tip.x() - 10, y));
        QPainterPath head;
        head.moveTo(tip);
        head.lineTo(tip.x() - 12, y - 6);
        head.lineTo(tip.x() - 12, y + 6);
        head.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(mark);
        p.drawPath(head);
    }
}

// ---- TENE_for_solder ----

EneSolderWindow::EneSolderWindow(Program& p, QtUiPort& port)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint),
      p_(p),
      port_(port) {
    setObjectName("TENE_for_solder");
    setWindowTitle("ENE point for soldering");
    setFixedSize(kClientWidth, kClientHeight);
    setAttribute(Qt::WA_QuitOnClose, false);
    setFont(fonts::Calibri(16));

    picture_ = new SolderCablePicture(RowCentres({267, 320, 365, 414, 459, 504}), this);
    picture_->setObjectName("Image1");
    picture_->move(kPictureAt);

    const QFont rowFont = fonts::Calibri(32);
    const int width = kClientWidth - 360;
    QLabel* kb = AddLabel(this, "Label_KB", "KB pins", {360, 208}, width, fonts::Calibri(32, true));
    kb->setCursor(Qt::PointingHandCursor);
    kb->setToolTip("Keyboard connector \npin number for soldering");
    kb->setToolTipDuration(20000);
    struct Row {
        const char* name;
        const char* caption;
        int top;
    };
    for (const Row& r : {Row{"KSI5", "KSI5", 267}, Row{"KSI7", "KSI7", 320},
                         Row{"KSI6", "KSI6", 365}, Row{"Label3", "to GND", 414},
                         Row{"KSI4", "KSI4", 459}, Row{"KSO3", "KSO3", 504}}) {
        QLabel* label = AddLabel(this, r.name, r.caption, {360, r.top}, width, rowFont);
        if (std::string(r.name) != "Label3") port_.Register(r.name, label, mirror::kText | mirror::kVisible);
    }
    QLabel* board = AddLabel(this, "Label_MB_NAME",
                             "LA-8681P (JKB1) KSO3=18 KSI4=5 KSI7=2 KSI6=3 KSI5=6", {8, 584}, 434,
                             fonts::Calibri(19));
    board->setFixedHeight(28);
    port_.Register("Label_MB_NAME", board, mirror::kText | mirror::kVisible);

    port_.Register("TENE_for_solder", this, mirror::kVisible | mirror::kText);
}

void EneSolderWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous()) return;
    if (QScreen* s = screen()) CentreOver(this, s->availableGeometry());
}

void EneSolderWindow::closeEvent(QCloseEvent* event) {
    // Closing only hides the window; the model learns of it.
    event->accept();
    port_.RunHandler([&] { p_.form.SetVisible("TENE_for_solder", false); });
}

// ---- TForm_MEC ----

MecSolderWindow::MecSolderWindow(Program& p, QtUiPort& port, QWidget* mainWindow)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                           Qt::WindowCloseButtonHint),
      p_(p),
      port_(port),
      main_(mainWindow) {
    setObjectName("TForm_MEC");
    setWindowTitle("MEC point for soldering");
    setFixedSize(kClientWidth, kClientHeight);
    setAttribute(Qt::WA_QuitOnClose, false);
    setFont(fonts::Calibri(16));

    picture_ = new SolderCablePicture(RowCentres({267, 312, 357, 414, 459, 504}), this);
    picture_->setObjectName("Image1");
    picture_->move(kPictureAt);

    const QFont rowFont = fonts::Calibri(32);
    const int width = kClientWidth - 368;
    AddLabel(this, "Label1", "JTAG", {368, 208}, width, fonts::Calibri(32, true));
    struct Row {
        const char* name;
        const char* caption;
        int top;
    };
    for (const Row& r : {Row{"Label3", "TMS", 267}, Row{"Label2", "TDO", 312},
                         Row{"Label4", "TCLK", 357}, Row{"Label5", "to GND", 414},
                         Row{"Label6", "TDI", 459}, Row{"Label7", "to GND", 504}})
        AddLabel(this, r.name, r.caption, {368, r.top}, width, rowFont);

    port_.Register("TForm_MEC", this, mirror::kVisible | mirror::kText);
}

void MecSolderWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous()) return;
    if (main_ && main_->isVisible())
        CentreOver(this, main_->frameGeometry());
    else if (QScreen* s = screen())
        CentreOver(this, s->availableGeometry());
}

void MecSolderWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    port_.RunHandler([&] { p_.form.SetVisible("TForm_MEC", false); });
}

}  // namespace zjig
