#include "app/qt_ui_port_qt.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QThread>
#include <QUrl>

#include <cstdio>

#include "app/fonts_qt.h"
#include "app/gauge_qt.h"
#include "app/main_form.h"
#include "app/program.h"
#include "app/widgets_qt.h"

namespace zjig {

namespace {

// Entries inserted in one edit block, and the time one posted flush may
// spend on the log before it lets the window handle its other events.
constexpr size_t kEntriesPerBlock = 512;
constexpr int kLogBudgetMs = 20;

QString FromEngine(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

unsigned KindFlags(const QWidget* w) {
    using namespace mirror;
    if (w->isWindow()) return kVisible | kText;
    if (qobject_cast<const ShapeWidget*>(w)) return kColor;
    if (qobject_cast<const QComboBox*>(w)) return kEnabled | kVisible | kItems;
    if (qobject_cast<const RadioGroupBox*>(w)) return kEnabled | kVisible | kItems;
    if (qobject_cast<const QCheckBox*>(w)) return kEnabled | kVisible | kChecked | kText;
    if (qobject_cast<const QAbstractButton*>(w)) return kEnabled | kVisible | kText;
    if (qobject_cast<const QLabel*>(w)) return kEnabled | kVisible | kText;
    if (qobject_cast<const QGroupBox*>(w)) return kEnabled | kVisible | kText;
    return kEnabled | kVisible;
}

QStringList ToQStringList(const std::vector<std::string>& items) {
    QStringList out;
    out.reserve(static_cast<qsizetype>(items.size()));
    for (const auto& s : items) out << FromEngine(s);
    return out;
}

void RefreshCombo(QComboBox* combo, const ControlState& c) {
    const QStringList items = ToQStringList(c.items);
    QStringList current;
    for (int i = 0; i < combo->count(); ++i) current << combo->itemText(i);
    if (current != items) {
        combo->clear();
        combo->addItems(items);
    }
    const int index = c.itemIndex >= 0 && c.itemIndex < combo->count() ? c.itemIndex : -1;
    if (combo->currentIndex() != index) combo->setCurrentIndex(index);
    if (combo->isEditable()) {
        const QString text = FromEngine(c.text);
        if (combo->currentText() != text) combo->setEditText(text);
    }
}

}  // namespace

QStringList NameFiltersFromDialogFilter(const std::string& filter) {
    const QStringList parts = FromEngine(filter).split('|');
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        // Several patterns are separated by ';' in the engine's form and by
        // spaces in Qt's; "*.*" means every file.
        QStringList raw = parts[i + 1].split(';', Qt::SkipEmptyParts);
        QStringList patterns;
        for (const auto& r : raw) {
            const QString p = r.trimmed();
            if (!p.isEmpty()) patterns << (p == "*.*" ? QStringLiteral("*") : p);
        }
        const QString pattern = patterns.isEmpty() ? QStringLiteral("*") : patterns.join(' ');
        // A description that already names its patterns ("BIN file (*.bin)")
        // keeps its text without them; Qt reads the patterns from the brackets.
        QString desc = parts[i].trimmed();
        for (auto& r : raw) r = r.trimmed();
        const QString own = "(" + raw.join(' ') + ")";
        if (desc.endsWith(own)) desc = desc.left(desc.size() - own.size()).trimmed();
        out << (desc.isEmpty() ? pattern : desc) + " (" + pattern + ")";
    }
    if (out.isEmpty()) out << QStringLiteral("All files (*)");
    return out;
}

QtUiPort::QtUiPort(QObject* parent) : QObject(parent) {
    continue_.setSingleShot(true);
    continue_.setInterval(0);
    connect(&continue_, &QTimer::timeout, this, [this] { FlushPosted(); });
}

QtUiPort::~QtUiPort() = default;

bool QtUiPort::OnWindowThread() const { return QThread::currentThread() == thread(); }

void QtUiPort::SetLogView(QPlainTextEdit* view) { log_ = view; }

void QtUiPort::SetGauge(GaugeWidget* gauge) {
    gauge_ = gauge;
    if (gauge_ && program_) gauge_->SetState(program_->gauge.Get());
}

void QtUiPort::Register(const std::string& name, QWidget* widget, unsigned mirrorFlags) {
    widgets_[name] = Registered{widget, mirrorFlags};
}

QWidget* QtUiPort::Widget(const std::string& name) const {
    auto it = widgets_.find(name);
    return it == widgets_.end() ? nullptr : it->second.widget.data();
}

void QtUiPort::RefreshAll() {
    for (const auto& [name, reg] : widgets_) Refresh(name, reg);
    if (gauge_ && program_) gauge_->SetState(program_->gauge.Get());
}

// ---- calls from any thread ----

void QtUiPort::Schedule() {
    if (flushPosted_.exchange(true)) return;
    QMetaObject::invokeMethod(this, [this] { FlushPosted(); }, Qt::QueuedConnection);
}

void QtUiPort::AppendLog(const std::string& text, Rgb color) {
    {
        std::lock_guard lock(m_);
        pendingLog_.push_back(Entry{text, color});
    }
    Schedule();
}

void QtUiPort::ClearLog() {
    if (OnWindowThread()) {
        // Everything appended before the clear goes with it.
        {
            std::lock_guard lock(m_);
            pendingLog_.clear();
            pendingClear_ = false;
        }
        backlog_.clear();
        if (log_) log_->clear();
        return;
    }
    {
        std::lock_guard lock(m_);
        pendingLog_.clear();
        pendingClear_ = true;
    }
    Schedule();
}

void QtUiPort::GaugeChanged(const GaugeState& state) {
    {
        std::lock_guard lock(m_);
        pendingGauge_ = state;
    }
    Schedule();
}

void QtUiPort::ControlChanged(const std::string& name) {
    {
        std::lock_guard lock(m_);
        pendingControls_.insert(name);
    }
    Schedule();
}

// ---- window thread ----

void QtUiPort::TakePending() {
    std::vector<Entry> log;
    bool clear = false;
    std::optional<GaugeState> gauge;
    std::set<std::string> controls;
    {
        std::lock_guard lock(m_);
        log.swap(pendingLog_);
        clear = pendingClear_;
        pendingClear_ = false;
        gauge.swap(pendingGauge_);
        controls.swap(pendingControls_);
    }
    if (clear) {
        backlog_.clear();
        if (log_) log_->clear();
    }
    for (auto& e : log) backlog_.push_back(std::move(e));
    ShowControls(controls);
    if (gauge && gauge_) gauge_->SetState(*gauge);
}

void QtUiPort::FlushPosted() {
    TakePending();
    ShowLog(kLogBudgetMs);
    if (!backlog_.empty()) {
        // What did not fit in the budget follows from a timer, in turn with
        // the window's other timers, input and painting. Until then new
        // entries need no flush of their own.
        continue_.start();
        return;
    }
    flushPosted_ = false;
    // Whatever came after TakePending found a flush under way and posted none.
    bool more = false;
    {
        std::lock_guard lock(m_);
        more = !pendingLog_.empty() || pendingClear_ || pendingGauge_ || !pendingControls_.empty();
    }
    if (more) Schedule();
}

void QtUiPort::Flush() {
    TakePending();
    ShowLog(-1);
}

void QtUiPort::ShowControls(const std::set<std::string>& names) {
    for (const auto& name : names) {
        auto it = widgets_.find(name);
        if (it != widgets_.end()) Refresh(name, it->second);
    }
}

void QtUiPort::ShowLog(int budgetMs) {
    if (backlog_.empty()) return;
    if (!log_) {
        entriesShown_ += static_cast<long long>(backlog_.size());
        backlog_.clear();
        return;
    }
    QElapsedTimer timer;
    timer.start();
    QTextDocument* doc = log_->document();
    QTextCursor cursor(doc);
    while (!backlog_.empty()) {
        cursor.movePosition(QTextCursor::End);
        cursor.beginEditBlock();
        size_t n = 0;
        while (!backlog_.empty() && n < kEntriesPerBlock) {
            // Consecutive entries of one colour go in as one run.
            const Rgb color = backlog_.front().color;
            std::string run;
            while (!backlog_.empty() && backlog_.front().color == color && n < kEntriesPerBlock) {
                run += backlog_.front().text;
                backlog_.pop_front();
                ++n;
            }
            QTextCharFormat format;
            format.setForeground(fonts::ToQColor(color));
            cursor.insertText(FromEngine(run), format);
        }
        cursor.endEditBlock();
        entriesShown_ += static_cast<long long>(n);
        if (budgetMs >= 0 && timer.elapsed() >= budgetMs) break;
    }
    // The caret stands after the last entry and the view follows it.
    cursor.movePosition(QTextCursor::End);
    log_->setTextCursor(cursor);
    log_->verticalScrollBar()->setValue(log_->verticalScrollBar()->maximum());
    if (log_->isVisible()) log_->setFocus();
}

void QtUiPort::Refresh(const std::string& name, const Registered& reg) {
    using namespace mirror;
    QWidget* w = reg.widget.data();
    if (!w || !program_ || !program_->form.Has(name)) return;
    const ControlState c = program_->form.Get(name);
    const unsigned f = reg.flags == kByKind ? KindFlags(w) : reg.flags;
    const QSignalBlocker block(w);

    if (w->isWindow()) {
        if ((f & kText) && !c.text.empty()) w->setWindowTitle(FromEngine(c.text));
        if (f & kVisible) {
            if (c.visible && !w->isVisible()) {
                w->show();
                if (QGuiApplication::platformName() != "offscreen") w->raise();
            } else if (!c.visible && w->isVisible()) {
                w->hide();
            }
        }
        return;
    }
    if (f & kEnabled) w->setEnabled(c.enabled);
    if (f & kVisible) {
        const bool wasHidden = w->isHidden();
        w->setVisible(c.visible);
        if (c.visible && wasHidden) {
            w->raise();
            // The log takes the keyboard focus when it is shown again.
            if (qobject_cast<QPlainTextEdit*>(w)) w->setFocus();
        }
    }
    if (auto* combo = qobject_cast<QComboBox*>(w)) {
        if (f & kItems) RefreshCombo(combo, c);
    } else if (auto* radio = qobject_cast<RadioGroupBox*>(w)) {
        if (f & kItems) {
            radio->SetItems(ToQStringList(c.items));
            radio->SetItemIndex(c.itemIndex);
        }
    } else if (auto* check = qobject_cast<QCheckBox*>(w)) {
        if (f & kChecked) check->setChecked(c.checked);
        if (f & kText) check->setText(FromEngine(c.text));
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        if (f & kChecked) button->setChecked(c.checked);
        if (f & kText) button->setText(FromEngine(c.text));
    } else if (auto* label = qobject_cast<QLabel*>(w)) {
        if (f & kText) label->setText(FromEngine(c.text));
    } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
        if (f & kText) group->setTitle(FromEngine(c.text));
    } else if (auto* shape = qobject_cast<ShapeWidget*>(w)) {
        if (f & kColor) shape->SetFill(fonts::ToQColor(c.color));
    }
}

void QtUiPort::RunHandler(const std::function<void()>& handler) {
    QString error;
    try {
        handler();
        return;
    } catch (const std::exception& e) {
        error = QString::fromUtf8(e.what());
    } catch (...) {
        error = QStringLiteral("Unknown exception.");
    }
    ErrorBox(error.toStdString());
}

std::optional<std::string> QtUiPort::FileDialog(const FileDialogRequest& request, bool save) {
    if (!OnWindowThread()) {
        // Dialogs belong to the window thread. Waiting for one from elsewhere
        // could hang the caller; it is treated as cancelled.
        std::fprintf(stderr, "File dialog \"%s\" asked for outside the window thread: cancelled.\n",
                     request.title.c_str());
        return std::nullopt;
    }
    Flush();
    QFileDialog dialog(dialogParent_, FromEngine(request.title));
    dialog.setObjectName(save ? "SaveDialog" : "OpenDialog");
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog.setNameFilters(NameFiltersFromDialogFilter(request.filter));
    QString ext = FromEngine(request.defaultExt);
    if (ext.startsWith('.')) ext.remove(0, 1);
    if (!ext.isEmpty()) dialog.setDefaultSuffix(ext);
    if (!request.initialName.empty()) dialog.selectFile(FromEngine(request.initialName));
    for (;;) {
        if (dialog.exec() != QDialog::Accepted) return std::nullopt;
        const QStringList files = dialog.selectedFiles();
        if (files.isEmpty() || files.first().isEmpty()) return std::nullopt;
        const QString chosen = files.first();
        const QFileInfo info(chosen);
        if (save && info.exists() && !info.isWritable()) {
            // The save dialog does not return a read-only file: the user chooses again.
            QMessageBox::warning(&dialog, dialog.windowTitle(),
                                 chosen + "\nThis file is read-only.\nChoose another file name.");
            continue;
        }
        return chosen.toStdString();
    }
}

std::optional<std::string> QtUiPort::ChooseSaveFile(const FileDialogRequest& request) {
    return FileDialog(request, true);
}

std::optional<std::string> QtUiPort::ChooseOpenFile(const FileDialogRequest& request) {
    return FileDialog(request, false);
}

void QtUiPort::ErrorBox(const std::string& text) {
    if (!OnWindowThread()) {
        QMetaObject::invokeMethod(this, [this, text] { ErrorBox(text); }, Qt::QueuedConnection);
        return;
    }
    Flush();
    QMessageBox box(QMessageBox::Critical, QString::fromLatin1(kAppTitle), FromEngine(text),
                    QMessageBox::Ok, dialogParent_);
    box.setObjectName("ErrorBox");
    box.exec();
}

void QtUiPort::OpenUrl(const std::string& url) {
    if (!OnWindowThread()) {
        QMetaObject::invokeMethod(this, [this, url] { OpenUrl(url); }, Qt::QueuedConnection);
        return;
    }
    const QString address = FromEngine(url);
    if (urlOpener)
        urlOpener(address);
    else
        QDesktopServices::openUrl(QUrl(address));
}

}  // namespace zjig
