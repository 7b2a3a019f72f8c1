// The settings panel: every user preference in three sections ("Glass appearance", "Terminal",
// "Window"), written straight into the application model, which saves and announces each change.
#pragma once

#include "settings/VitrionSettings.h"

#include <QWidget>

class AppModel;
class ColorSchemeSection;
class ColorWell;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class SliderRow;

class SettingsPanel : public QWidget {
    Q_OBJECT
public:
    static const QStringList& shellChoices();
    static const QStringList& fontNames();

    explicit SettingsPanel(AppModel& model, QWidget* parent = nullptr);

    // Controls, for the hosting window and for tests.
    QPushButton* doneButton() const { return done; }
    QComboBox* materialPicker() const { return material; }
    QComboBox* shellPicker() const { return shell; }
    QCheckBox* closeOnExitBox() const { return closeOnExit; }
    QCheckBox* clipboardWritesBox() const { return clipboardWrites; }
    QComboBox* fontPicker() const { return font; }
    QComboBox* cursorStylePicker() const { return cursorStyle; }
    ColorWell* tintWell() const { return tint; }
    ColorWell* textColorWell() const { return textColor; }
    SliderRow* opacityRow() const { return opacity; }
    SliderRow* blurRow() const { return blur; }
    SliderRow* saturationRow() const { return saturation; }
    SliderRow* fontSizeRow() const { return fontSize; }
    SliderRow* lineSpacingRow() const { return lineSpacing; }
    SliderRow* cornerRadiusRow() const { return cornerRadius; }
    SliderRow* paddingRow() const { return padding; }
    // Shown while the settings file cannot be read: what is wrong, and the button that replaces it.
    QWidget* fileProblemBox() const { return fileProblem; }
    QLabel* fileProblemText() const { return fileProblemLabel; }
    QPushButton* replaceFileButton() const { return replaceFile; }
    QSpinBox* scrollbackLinesBox() const { return scrollbackLines; }
    QCheckBox* shellIntegrationBox() const { return shellIntegration; }
    QSpinBox* notifyAfterBox() const { return notifyAfter; }
    QCheckBox* scrollbackUnlimitedBox() const { return scrollbackUnlimited; }
    QSpinBox* scrollbackMegabytesBox() const { return scrollbackMegabytes; }
    QLabel* scrollbackCostLabel() const { return scrollbackCost; }
    ColorSchemeSection* colorSection() const { return colors; }

signals:
    void dismissRequested();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildGlassSection();
    QWidget* buildTerminalSection();
    QWidget* buildWindowSection();
    void addScrollbackRows(QWidget* section);
    SliderRow* addSlider(QWidget* section, const QString& title, double low, double high,
                         double VitrionSettings::*field);
    QComboBox* addPicker(QWidget* section, const QString& title);
    ColorWell* addColorWell(QWidget* section, const QString& title, double VitrionSettings::*red,
                            double VitrionSettings::*green, double VitrionSettings::*blue);
    void refresh();
    void showFileState();
    void replaceUnreadableFile();
    void refillColorWells();

    AppModel& model;
    QPushButton* done = nullptr;
    QComboBox* material = nullptr;
    QComboBox* shell = nullptr;
    QCheckBox* closeOnExit = nullptr;
    QCheckBox* clipboardWrites = nullptr;
    QComboBox* font = nullptr;
    QComboBox* cursorStyle = nullptr;
    ColorWell* tint = nullptr;
    ColorWell* textColor = nullptr;
    SliderRow* opacity = nullptr;
    SliderRow* blur = nullptr;
    SliderRow* saturation = nullptr;
    SliderRow* fontSize = nullptr;
    SliderRow* lineSpacing = nullptr;
    SliderRow* cornerRadius = nullptr;
    SliderRow* padding = nullptr;
    QWidget* fileProblem = nullptr;
    QLabel* fileProblemLabel = nullptr;
    QPushButton* replaceFile = nullptr;
    QLabel* savedTo = nullptr;
    QSpinBox* scrollbackLines = nullptr;
    QCheckBox* shellIntegration = nullptr;
    QSpinBox* notifyAfter = nullptr;
    QCheckBox* scrollbackUnlimited = nullptr;
    QSpinBox* scrollbackMegabytes = nullptr;
    QLabel* scrollbackCost = nullptr;
    ColorSchemeSection* colors = nullptr;
};
