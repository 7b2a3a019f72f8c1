// The panel's "Colors" section: the scheme picker with Import…, the sixteen colours, the cursor and
// selection, a live preview, following the desktop's light and dark style, and the minimum contrast.
// Every change is written to the application model at once.
#pragma once

#include "settings/ColorScheme.h"

#include <QGroupBox>
#include <QList>

class AppModel;
class ColorWell;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class SliderRow;

class ColorSchemeSection : public QGroupBox {
    Q_OBJECT
public:
    explicit ColorSchemeSection(AppModel& model, QWidget* parent = nullptr);

    // Reads a theme file and, when it reads whole, keeps it and takes it; else says why.
    bool importFile(const QString& path);
    // Takes a scheme: as the scheme in force, or while following the desktop, as the one for the
    // desktop's current style.
    void choose(const ColorScheme& scheme);

    QComboBox* schemePicker() const { return scheme; }
    QPushButton* importButton() const { return importer; }
    QLabel* message() const { return status; }
    const QList<ColorWell*>& ansiWells() const { return wells; }
    ColorWell* cursorWell() const { return cursor; }
    ColorWell* selectionWell() const { return selection; }
    ColorWell* selectionTextWell() const { return selectionText; }
    QWidget* preview() const { return sample; }
    QCheckBox* followDesktopBox() const { return follow; }
    QComboBox* lightPicker() const { return light; }
    QComboBox* darkPicker() const { return dark; }
    SliderRow* contrastRow() const { return contrast; }

    void refresh();
    void refillWells(); // the wells show the settings' colours (a picker's dialog may be open)

signals:
    // A scheme was taken here: its text and glass colours are new too.
    void schemeChosen();

private:
    QComboBox* schemeList(const QString& name);
    void fillSchemeLists();

    AppModel& model;
    QComboBox* scheme = nullptr;
    QPushButton* importer = nullptr;
    QLabel* status = nullptr;
    QList<ColorWell*> wells;
    ColorWell* cursor = nullptr;
    ColorWell* selection = nullptr;
    ColorWell* selectionText = nullptr;
    QWidget* sample = nullptr;
    QCheckBox* follow = nullptr;
    QComboBox* light = nullptr;
    QComboBox* dark = nullptr;
    SliderRow* contrast = nullptr;
};
