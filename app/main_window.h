#pragma once
// The program's one window: the controls of the control table at their
// places, Esc closing it from any control, and a close that waits for a
// running extraction to stop before the program ends. It holds no logic of
// the extraction; the session wires its buttons to the window handlers.

#include <QTimer>
#include <QWidget>

#include <chrono>

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace quillmere::app {

struct ControlRow;
enum class ControlRole;

class MainWindow : public QWidget {
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);

    // The control of that name, or nullptr when the table has none.
    QWidget* control(std::string_view name) const;
    // The control that plays that role.
    QWidget* control(ControlRole role) const;
    // Names of table controls the window failed to build; empty when whole.
    std::vector<std::string> missingControls() const;

    // While busy, closing the window only hides it and records the request;
    // the program ends once the window is no longer busy.
    void setBusy(bool busy);
    bool closeRequested() const { return closeRequested_; }

    void centreOnPrimaryScreen();
    // The factor the table's layout is drawn at: 1, or less where the
    // primary screen's free area is smaller than the window.
    double layoutScale() const { return scale_; }

signals:
    void chooseFolderClicked();
    void startClicked();
    void rulesClicked();
    // One local folder was dropped on the window, as the chooser gives it.
    void folderDropped(const QString& folder);
    // The window has closed for good; the program should end.
    void finished();

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fitToScreen();
    void createControls();
    QWidget* createControl(const ControlRow& row);
    void setTabOrderFromTable();
    void connectButtons();
    bool deferPaint();
    bool takeDrag(QEvent* event);

    std::map<std::string, QWidget*, std::less<>> controls_;
    double scale_ = 1.0;
    bool busy_ = false;
    bool closeRequested_ = false;
    bool finished_ = false;
    // A run changes the status line and 编辑框1 thousands of times a second;
    // the window is painted at most once a frame, the latest state.
    std::chrono::steady_clock::time_point lastPaint_;
    QTimer deferredPaint_;
};

}  // namespace quillmere::app
