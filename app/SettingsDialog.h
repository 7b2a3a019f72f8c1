// A window around the settings panel, titled "Vitrion Settings": the window-modal sheet over the
// main window, or the standalone settings window. "Done", Return and Escape close it.
#pragma once

#include <QDialog>

class AppModel;
class SettingsPanel;

class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    enum class Presentation { sheet, window };

    SettingsDialog(AppModel& model, Presentation presentation, QWidget* parent);
    SettingsPanel* panel() const { return content; }

private:
    SettingsPanel* content;
};
