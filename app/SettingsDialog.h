// A window around the settings panel, titled "Vitrion Settings": the window-modal sheet over the
// main window, or the standalone settings window, scrolled on a short screen. "Done", Return and
// Escape close it.
#pragma once

#include <QDialog>

class AppModel;
class QScrollArea;
class SettingsPanel;

class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    enum class Presentation { sheet, window };

    SettingsDialog(AppModel& model, Presentation presentation, QWidget* parent);
    SettingsPanel* panel() const { return content; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void fitToScreen();

    SettingsPanel* content;
    QScrollArea* scroller;
};
