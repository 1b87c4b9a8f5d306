#include "app/main_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDropEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <limits>

#include "app/control_table.h"
#include "app/dropped_folder.h"
#include "app/notes_box.h"
#include "app/window_scale.h"

namespace quillmere::app {

namespace {

constexpr Qt::WindowFlags kWindowFlags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                         Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                                         Qt::WindowCloseButtonHint;

QString FromUtf8(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// Status and notes boxes show black text on the window's own colour rather
// than on the white of an input box.
void UseWindowBackground(QWidget* box) {
    QPalette palette = box->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Base, palette.color(group, QPalette::Window));
    }
    palette.setColor(QPalette::Disabled, QPalette::Text, palette.color(QPalette::Active, QPalette::WindowText));
    box->setPalette(palette);
}

QWidget* CreateLabel(const ControlRow& row, QWidget* parent) {
    auto* label = new QLabel(FromUtf8(row.caption), parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return label;
}

QWidget* CreateInputBox(QWidget* parent) {
    auto* box = new QLineEdit(parent);
    box->setMaxLength(std::numeric_limits<int>::max());
    box->setTextMargins(0, 0, 0, 0);
    return box;
}

QWidget* CreateButton(const ControlRow& row, QWidget* parent) {
    auto* button = new QPushButton(FromUtf8(row.caption), parent);
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

QWidget* CreateStatusBox(QWidget* parent) {
    auto* box = new QLineEdit(parent);
    box->setMaxLength(std::numeric_limits<int>::max());
    box->setAlignment(Qt::AlignCenter);
    box->setFocusPolicy(Qt::NoFocus);
    box->setEnabled(false);
    UseWindowBackground(box);
    return box;
}

QWidget* CreateCheckBox(const ControlRow& row, QWidget* parent) {
    return new QCheckBox(FromUtf8(row.caption), parent);
}

QWidget* CreateNotesBox(QWidget* parent) {
    auto* box = new NotesBox(parent);
    UseWindowBackground(box);
    return box;
}

constexpr std::chrono::milliseconds kFrameInterval{16};

bool TakesFocus(ControlKind kind) { return kind != ControlKind::Label && kind != ControlKind::StatusBox; }

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QWidget(parent, kWindowFlags) {
    setWindowTitle(FromUtf8(kWindowCaption));
    fitToScreen();
    setAcceptDrops(true);
    createControls();
    setTabOrderFromTable();
    connectButtons();
    centreOnPrimaryScreen();
    deferredPaint_.setSingleShot(true);
    deferredPaint_.setTimerType(Qt::PreciseTimer);
    connect(&deferredPaint_, &QTimer::timeout, this,
            [this] { QCoreApplication::postEvent(this, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority); });
}

// The table's layout at 100 %, unless the screen's free area cannot hold
// it with the frame: then every place and the font shrink by one factor.
void MainWindow::fitToScreen() {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        scale_ = FitScale(kClientSize, kFrameAllowance, screen->availableGeometry().size());
    }
    setFixedSize(ScaledSize(kClientSize, scale_));
    if (scale_ < 1.0) {
        QFont smaller = font();
        if (smaller.pointSizeF() > 0) {
            smaller.setPointSizeF(smaller.pointSizeF() * scale_);
        } else {
            smaller.setPixelSize(std::max(1, static_cast<int>(smaller.pixelSize() * scale_)));
        }
        setFont(smaller);
    }
}

void MainWindow::createControls() {
    for (const ControlRow& row : ControlTable()) {
        QWidget* widget = createControl(row);
        widget->setObjectName(FromUtf8(row.name));
        widget->setGeometry(ScaledRect(row.rect, scale_));
        widget->installEventFilter(this);
        // A scroll area's viewport is what a drag reaches.
        if (auto* notes = qobject_cast<NotesBox*>(widget)) notes->viewport()->installEventFilter(this);
        controls_.emplace(std::string(row.name), widget);
    }
}

QWidget* MainWindow::createControl(const ControlRow& row) {
    switch (row.kind) {
        case ControlKind::Label: return CreateLabel(row, this);
        case ControlKind::InputBox: return CreateInputBox(this);
        case ControlKind::Button: return CreateButton(row, this);
        case ControlKind::StatusBox: return CreateStatusBox(this);
        case ControlKind::CheckBox: return CreateCheckBox(row, this);
        case ControlKind::NotesBox: return CreateNotesBox(this);
    }
    return new QWidget(this);
}

void MainWindow::setTabOrderFromTable() {
    QWidget* previous = nullptr;
    for (const ControlRow& row : ControlTable()) {
        if (!TakesFocus(row.kind)) continue;
        QWidget* current = control(row.name);
        if (previous) setTabOrder(previous, current);
        previous = current;
    }
}

void MainWindow::connectButtons() {
    auto* choose = qobject_cast<QPushButton*>(control(ControlRole::ChooseButton));
    auto* start = qobject_cast<QPushButton*>(control(ControlRole::StartButton));
    auto* rules = qobject_cast<QPushButton*>(control(ControlRole::RulesButton));
    if (choose) connect(choose, &QPushButton::clicked, this, &MainWindow::chooseFolderClicked);
    if (rules) connect(rules, &QPushButton::clicked, this, &MainWindow::rulesClicked);
    if (start) {
        start->setEnabled(false);
        connect(start, &QPushButton::clicked, this, &MainWindow::startClicked);
    }
}

QWidget* MainWindow::control(std::string_view name) const {
    const auto found = controls_.find(name);
    return found == controls_.end() ? nullptr : found->second;
}

QWidget* MainWindow::control(ControlRole role) const { return control(ControlFor(role).name); }

std::vector<std::string> MainWindow::missingControls() const {
    std::vector<std::string> missing;
    for (const ControlRow& row : ControlTable()) {
        const QWidget* widget = control(row.name);
        if (!widget || widget->geometry() != ScaledRect(row.rect, scale_)) missing.emplace_back(row.name);
    }
    return missing;
}

void MainWindow::centreOnPrimaryScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const bool scaled = scale_ < 1.0;
    // A window drawn smaller to fit is centred in the free area, frame and
    // all, so no panel covers its title bar.
    const QRect area = scaled ? screen->availableGeometry() : screen->geometry();
    QSize outer = frameGeometry().size();
    if (scaled && outer == size()) outer += kFrameAllowance;
    int left = area.x() + (area.width() - outer.width()) / 2;
    int top = area.y() + (area.height() - outer.height()) / 2;
    if (scaled) {
        left = std::max(left, area.x());
        top = std::max(top, area.y());
    }
    move(left, top);
}

void MainWindow::setBusy(bool busy) {
    busy_ = busy;
    if (!busy_ && closeRequested_ && !finished_) {
        finished_ = true;
        emit finished();
    }
}

bool MainWindow::event(QEvent* event) {
    if (event->type() == QEvent::UpdateRequest && deferPaint()) return true;
    return QWidget::event(event);
}

// Whether to hold this paint back: one came less than a frame ago. The
// changed areas stay marked, and a timer asks for them to be painted once
// the frame is over, run or no run.
bool MainWindow::deferPaint() {
    const auto now = std::chrono::steady_clock::now();
    const auto since = now - lastPaint_;
    if (since >= kFrameInterval) {
        lastPaint_ = now;
        return false;
    }
    if (!deferredPaint_.isActive()) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(kFrameInterval - since);
        deferredPaint_.start(left + std::chrono::milliseconds(1));
    }
    return true;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (busy_) {
        // A run is writing rows: let it stop after the current file and save
        // them; the program ends when the run has returned.
        event->ignore();
        closeRequested_ = true;
        hide();
        return;
    }
    event->accept();
    closeRequested_ = true;
    if (!finished_) {
        finished_ = true;
        emit finished();
    }
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) { takeDrag(event); }
void MainWindow::dragMoveEvent(QDragMoveEvent* event) { takeDrag(event); }
void MainWindow::dropEvent(QDropEvent* event) { takeDrag(event); }

// A drag that carries places (a file manager's) is the window's, wherever
// it is over the window: one local folder is taken as if chosen, anything
// else is refused, so no edit box takes the places as text either. Other
// drags (plain text into an edit box) are left to the control.
bool MainWindow::takeDrag(QEvent* event) {
    const auto type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) return false;
    auto* drag = static_cast<QDropEvent*>(event);
    const QMimeData* data = drag->mimeData();
    if (!data || !data->hasUrls()) return false;
    const QString folder = DroppedFolder(*data);
    if (folder.isEmpty()) {
        drag->ignore();
        return true;
    }
    drag->setDropAction(Qt::CopyAction);
    drag->accept();
    if (type == QEvent::Drop) emit folderDropped(folder);
    return true;
}

// No control of this window claims Esc: whichever has the focus, Esc
// closes the window.
bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (takeDrag(event)) return true;
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier) {
            close();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace quillmere::app
