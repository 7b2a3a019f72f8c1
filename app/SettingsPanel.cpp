// The settings panel: rows, labels, ranges and formats, bound to the application model.
#include "SettingsPanel.h"

#include "ColorSchemeSection.h"
#include "ColorWell.h"
#include "SliderRow.h"
#include "ValueLabels.h"
#include "settings/AppModel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

QLabel* rowTitle(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFixedWidth(132);
    return label;
}

// A titled row of controls; the title's buddy is the first.
void addRow(QWidget* section, QLabel* title, const QList<QWidget*>& controls, bool stretch)
{
    auto* row = new QHBoxLayout;
    row->setSpacing(9);
    row->addWidget(title);
    for (QWidget* control : controls) {
        row->addWidget(control, stretch ? 1 : 0);
    }
    if (!stretch) {
        row->addStretch(1);
    }
    title->setBuddy(controls.first());
    static_cast<QVBoxLayout*>(section->layout())->addLayout(row);
}

QSpinBox* countBox(qint64 low, qint64 high, const QString& suffix, const QString& name, QWidget* parent)
{
    auto* box = new QSpinBox(parent);
    box->setRange(int(low), int(high));
    box->setSuffix(suffix);
    box->setLocale(ValueLabels::countLocale());
    box->setGroupSeparatorShown(true);
    box->setStepType(QAbstractSpinBox::AdaptiveDecimalStepType);
    box->setAccessibleName(name);
    // Only a finished entry is written: typing 5000 must not pass through a 5-line history, which
    // would drop all but 5 lines at once.
    box->setKeyboardTracking(false);
    return box;
}

QGroupBox* section(const QString& title, QWidget* parent)
{
    auto* box = new QGroupBox(title, parent);
    auto* column = new QVBoxLayout(box);
    column->setSpacing(8);
    return box;
}

// The well's colour from stored components; white when they make no colour.
QColor colorOf(double red, double green, double blue)
{
    if (!std::isfinite(red) || !std::isfinite(green) || !std::isfinite(blue)) {
        return Qt::white;
    }
    const auto component = [](double c) { return float(std::clamp(c, 0.0, 1.0)); };
    return QColor::fromRgbF(component(red), component(green), component(blue), 1.0f);
}

// A path under the home folder as ~/..., as the user knows it.
QString homeRelative(const QString& path)
{
    const QString home = QDir::homePath();
    return path.startsWith(home + QLatin1Char('/')) ? QStringLiteral("~") + path.mid(home.size()) : path;
}

} // namespace

const QStringList& SettingsPanel::shellChoices()
{
    static const QStringList shells{QStringLiteral("Default"), QStringLiteral("zsh"), QStringLiteral("bash"),
                                    QStringLiteral("sh"),      QStringLiteral("ash"), QStringLiteral("fish")};
    return shells;
}

const QStringList& SettingsPanel::fontNames()
{
    static const QStringList fonts{QStringLiteral("Menlo"), QStringLiteral("Monaco"),
                                   QStringLiteral("SF Mono"), QStringLiteral("Courier")};
    return fonts;
}

SettingsPanel::SettingsPanel(AppModel& appModel, QWidget* parent) : QWidget(parent), model(appModel)
{
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(12);

    auto* header = new QHBoxLayout;
    auto* heading = new QLabel(QStringLiteral("Vitrion Settings"), this);
    QFont headingFont = heading->font();
    headingFont.setPointSizeF(headingFont.pointSizeF() * 1.4);
    headingFont.setWeight(QFont::DemiBold);
    heading->setFont(headingFont);
    done = new QPushButton(QStringLiteral("Done"), this);
    done->setDefault(true);
    connect(done, &QPushButton::clicked, this, &SettingsPanel::dismissRequested);
    header->addWidget(heading);
    header->addStretch(1);
    header->addWidget(done);
    stack->addLayout(header);

    fileProblem = new QWidget(this);
    auto* problemRow = new QHBoxLayout(fileProblem);
    problemRow->setContentsMargins(0, 0, 0, 0);
    fileProblemLabel = new QLabel(fileProblem);
    fileProblemLabel->setTextFormat(Qt::PlainText);
    fileProblemLabel->setWordWrap(true);
    replaceFile = new QPushButton(QStringLiteral("&Replace File"), fileProblem);
    connect(replaceFile, &QPushButton::clicked, this, &SettingsPanel::replaceUnreadableFile);
    problemRow->addWidget(fileProblemLabel, 1);
    problemRow->addWidget(replaceFile, 0, Qt::AlignTop);
    stack->addWidget(fileProblem);

    stack->addWidget(buildGlassSection());
    stack->addWidget(buildTerminalSection());
    colors = new ColorSchemeSection(model, this);
    stack->addWidget(colors);
    connect(colors, &ColorSchemeSection::schemeChosen, this, &SettingsPanel::refillColorWells);
    stack->addWidget(buildWindowSection());

    auto* footer = new QHBoxLayout;
    savedTo = new QLabel(QStringLiteral("Saved to %1").arg(homeRelative(model.settingsPath())), this);
    savedTo->setTextFormat(Qt::PlainText);
    QFont caption = savedTo->font();
    caption.setPointSizeF(caption.pointSizeF() * 0.85);
    savedTo->setFont(caption);
    savedTo->setForegroundRole(QPalette::PlaceholderText);
    footer->addStretch(1);
    footer->addWidget(savedTo);
    stack->addLayout(footer);

    refresh();
    showFileState();
    connect(&model, &AppModel::settingsChanged, this, &SettingsPanel::refresh);
    connect(&model, &AppModel::settingsFileStateChanged, this, &SettingsPanel::showFileState);
}

void SettingsPanel::showFileState()
{
    // Changes still apply to this window, but nothing is written over the user's file until they
    // choose to replace it; the original is kept beside it.
    fileProblem->setVisible(model.settingsFileUnreadable());
    fileProblemLabel->setText(
        QStringLiteral("%1 cannot be read (%2). Changes are not saved until you replace it; the file "
                       "is then kept as %3.unreadable.")
            .arg(homeRelative(model.settingsPath()), model.settingsFileProblem(),
                 QFileInfo(model.settingsPath()).fileName()));
}

void SettingsPanel::replaceUnreadableFile()
{
    QString keptAs;
    QString failure;
    if (model.replaceSettingsFile(&keptAs, &failure)) {
        savedTo->setText(QStringLiteral("Saved to %1; the unreadable file is kept as %2")
                             .arg(homeRelative(model.settingsPath()), homeRelative(keptAs)));
    } else {
        fileProblemLabel->setText(QStringLiteral("The file could not be replaced: %1").arg(failure));
    }
}

QWidget* SettingsPanel::buildGlassSection()
{
    QGroupBox* box = section(QStringLiteral("Glass appearance"), this);
    material = addPicker(box, QStringLiteral("Material"));
    for (GlassMaterial m : allGlassMaterials()) {
        material->addItem(rawValue(m), int(m));
    }
    connect(material, &QComboBox::activated, this, [this](int index) {
        const auto chosen = GlassMaterial(material->itemData(index).toInt());
        if (chosen != model.settings().material) {
            model.updateSettings([chosen](VitrionSettings& s) { s.material = chosen; });
        }
    });
    opacity = addSlider(box, QStringLiteral("Background opacity"), 0.1, 1.0, &VitrionSettings::opacity);
    blur = addSlider(box, QStringLiteral("Blur intensity"), 0.0, 1.0, &VitrionSettings::blur);
    saturation = addSlider(box, QStringLiteral("Saturation"), 0.0, 2.0, &VitrionSettings::saturation);
    tint = addColorWell(box, QStringLiteral("Tint color"), &VitrionSettings::tintRed,
                        &VitrionSettings::tintGreen, &VitrionSettings::tintBlue);
    return box;
}

QWidget* SettingsPanel::buildTerminalSection()
{
    QGroupBox* box = section(QStringLiteral("Terminal"), this);
    shell = addPicker(box, QStringLiteral("Shell"));
    shell->addItems(shellChoices());
    // Only a pick that changes the choice restarts the shell, and it does so once, whichever of the
    // panel's presentations are open.
    connect(shell, &QComboBox::activated, this, [this](int index) {
        const QString chosen = shell->itemText(index);
        if (chosen == model.settings().shell) {
            return;
        }
        model.updateSettings([&chosen](VitrionSettings& s) { s.shell = chosen; });
        model.restartShell();
    });
    closeOnExit = new QCheckBox(QStringLiteral("Close the window"), box);
    addRow(box, rowTitle(QStringLiteral("When the shell exits"), box), {closeOnExit}, false);
    connect(closeOnExit, &QCheckBox::toggled, this, [this](bool checked) {
        model.updateSettings([checked](VitrionSettings& s) { s.closeOnShellExit = checked; });
    });
    // OSC 52: what vim, tmux and programs over ssh copy with. They can never read the clipboard.
    clipboardWrites = new QCheckBox(QStringLiteral("Programs may set it"), box);
    addRow(box, rowTitle(QStringLiteral("Clipboard"), box), {clipboardWrites}, false);
    connect(clipboardWrites, &QCheckBox::toggled, this, [this](bool checked) {
        model.updateSettings([checked](VitrionSettings& s) { s.allowClipboardWrites = checked; });
    });

    font = addPicker(box, QStringLiteral("Font"));
    QFont listFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    listFont.setPixelSize(12);
    font->setFont(listFont);
    // The four named fonts, then the installed fixed-pitch families, then the proportional ones: a
    // proportional family is drawn on the grid as well, but is seldom what a terminal wants.
    QStringList fixedPitch;
    QStringList proportional;
    for (const QString& family : QFontDatabase::families(QFontDatabase::Latin)) {
        if (!fontNames().contains(family) && !QFontDatabase::isPrivateFamily(family)) {
            (QFontDatabase::isFixedPitch(family) ? fixedPitch : proportional).append(family);
        }
    }
    for (const QStringList& group : {fontNames(), fixedPitch, proportional}) {
        if (group.isEmpty()) {
            continue;
        }
        if (font->count() > 0) {
            font->insertSeparator(font->count());
        }
        for (const QString& name : group) {
            font->addItem(name);
            font->setItemData(font->count() - 1, listFont, Qt::FontRole);
        }
    }
    connect(font, &QComboBox::activated, this, [this](int index) {
        const QString chosen = font->itemText(index);
        if (chosen != model.settings().fontName) {
            model.updateSettings([&chosen](VitrionSettings& s) { s.fontName = chosen; });
        }
    });

    textColor = addColorWell(box, QStringLiteral("Text color"), &VitrionSettings::textRed,
                             &VitrionSettings::textGreen, &VitrionSettings::textBlue);
    fontSize = addSlider(box, QStringLiteral("Font size"), 9.0, 28.0, &VitrionSettings::fontSize);
    lineSpacing = addSlider(box, QStringLiteral("Line spacing"), 0.8, 2.0, &VitrionSettings::lineSpacing);

    cursorStyle = addPicker(box, QStringLiteral("Cursor style"));
    for (TerminalCursorStyle style : allCursorStyles()) {
        cursorStyle->addItem(rawValue(style), int(style));
    }
    connect(cursorStyle, &QComboBox::activated, this, [this](int index) {
        const auto chosen = TerminalCursorStyle(cursorStyle->itemData(index).toInt());
        if (chosen != model.settings().cursorStyle) {
            model.updateSettings([chosen](VitrionSettings& s) { s.cursorStyle = chosen; });
        }
    });
    addScrollbackRows(box);

    shellIntegration = new QCheckBox(QStringLiteral("Mark prompts in bash, zsh and fish"), box);
    shellIntegration->setToolTip(QStringLiteral("Prompt jumps, Select Output and failed-command marks; "
                                                "New Shell where the shell was. From the next shell on."));
    addRow(box, rowTitle(QStringLiteral("Shell integration"), box), {shellIntegration}, false);
    connect(shellIntegration, &QCheckBox::toggled, this, [this](bool checked) {
        model.updateSettings([checked](VitrionSettings& s) { s.shellIntegration = checked; });
    });
    notifyAfter = countBox(0, VitrionSettings::maximumNotifyAfterSeconds, QStringLiteral(" s"),
                           QStringLiteral("notifyAfter"), box);
    notifyAfter->setSpecialValueText(QStringLiteral("Never"));
    notifyAfter->setToolTip(QStringLiteral("Notify when a command that ran this long ends while the window "
                                           "is in the background"));
    addRow(box, rowTitle(QStringLiteral("Notify after"), box), {notifyAfter}, false);
    connect(notifyAfter, &QSpinBox::valueChanged, this, [this](int seconds) {
        model.updateSettings([seconds](VitrionSettings& s) { s.notifyAfterSeconds = seconds; });
    });
    return box;
}

void SettingsPanel::addScrollbackRows(QWidget* box)
{
    scrollbackLines = countBox(0, VitrionSettings::maximumScrollbackLines, QStringLiteral(" lines"),
                               QStringLiteral("Scrollback lines"), box);
    scrollbackUnlimited = new QCheckBox(QStringLiteral("Unlimited"), box);
    addRow(box, rowTitle(QStringLiteral("Scrollback"), box), {scrollbackLines, scrollbackUnlimited}, false);
    scrollbackMegabytes =
        countBox(VitrionSettings::minimumScrollbackMegabytes, VitrionSettings::maximumScrollbackMegabytes,
                 QStringLiteral(" MB"), QStringLiteral("Scrollback memory"), box);
    scrollbackCost = new QLabel(box);
    scrollbackCost->setTextFormat(Qt::PlainText);
    scrollbackCost->setForegroundRole(QPalette::PlaceholderText);
    addRow(box, rowTitle(QStringLiteral("Scrollback memory"), box), {scrollbackMegabytes, scrollbackCost},
           false);

    connect(scrollbackLines, &QSpinBox::valueChanged, this, [this](int lines) {
        model.updateSettings([lines](VitrionSettings& s) { s.scrollbackLines = lines; });
    });
    connect(scrollbackUnlimited, &QCheckBox::toggled, this, [this](bool unlimited) {
        model.updateSettings([unlimited](VitrionSettings& s) { s.scrollbackUnlimited = unlimited; });
    });
    connect(scrollbackMegabytes, &QSpinBox::valueChanged, this, [this](int megabytes) {
        model.updateSettings([megabytes](VitrionSettings& s) { s.scrollbackMegabytes = megabytes; });
    });
}

QWidget* SettingsPanel::buildWindowSection()
{
    QGroupBox* box = section(QStringLiteral("Window"), this);
    cornerRadius = addSlider(box, QStringLiteral("Corner radius"), 0.0, 40.0, &VitrionSettings::cornerRadius);
    padding = addSlider(box, QStringLiteral("Inner padding"), 4.0, 48.0, &VitrionSettings::padding);
    return box;
}

SliderRow* SettingsPanel::addSlider(QWidget* box, const QString& title, double low, double high,
                                    double VitrionSettings::*field)
{
    auto* row = new SliderRow(title, low, high, box);
    static_cast<QVBoxLayout*>(box->layout())->addWidget(row);
    connect(row, &SliderRow::valueEdited, this, [this, field](double value) {
        model.updateSettings([=](VitrionSettings& s) { s.*field = value; });
    });
    return row;
}

QComboBox* SettingsPanel::addPicker(QWidget* box, const QString& title)
{
    auto* picker = new QComboBox(box);
    picker->setAccessibleName(title);
    picker->setMinimumContentsLength(10);
    addRow(box, rowTitle(title, box), {picker}, false);
    return picker;
}

ColorWell* SettingsPanel::addColorWell(QWidget* box, const QString& title, double VitrionSettings::*red,
                                       double VitrionSettings::*green, double VitrionSettings::*blue)
{
    auto* well = new ColorWell(title, box);
    addRow(box, rowTitle(title, box), {well}, false);
    // Three separate writes, red, green, blue: each one saves and announces, as every write does.
    connect(well, &ColorWell::colorPicked, this, [this, red, green, blue](const QColor& picked) {
        const QColor rgb = picked.isValid() ? picked.toRgb() : QColor(Qt::white);
        // From the 16-bit channels in double precision: redF() is a float.
        const QRgba64 wide = rgb.rgba64();
        const double r = wide.red() / 65535.0;
        const double g = wide.green() / 65535.0;
        const double b = wide.blue() / 65535.0;
        model.updateSettings([=](VitrionSettings& s) { s.*red = r; });
        model.updateSettings([=](VitrionSettings& s) { s.*green = g; });
        model.updateSettings([=](VitrionSettings& s) { s.*blue = b; });
    });
    return well;
}

void SettingsPanel::refresh()
{
    const VitrionSettings& s = model.settings();
    {
        const QSignalBlocker a(material), b(shell), c(font), d(cursorStyle), e(closeOnExit),
            k(clipboardWrites);
        closeOnExit->setChecked(s.closeOnShellExit);
        clipboardWrites->setChecked(s.allowClipboardWrites);
        material->setCurrentIndex(allGlassMaterials().indexOf(s.material));
        shell->setCurrentIndex(shellChoices().indexOf(s.shell)); // -1: no item, the value stays
        font->setCurrentIndex(font->findText(s.fontName));       // -1: no item, the value stays
        cursorStyle->setCurrentIndex(allCursorStyles().indexOf(s.cursorStyle));
        const QSignalBlocker f(scrollbackLines), g(scrollbackUnlimited), h(scrollbackMegabytes);
        // The boxes show the nearer end of a value out of range; the value stays until edited.
        const auto shown = [](QSpinBox* box, qint64 value) {
            box->setValue(int(std::clamp<qint64>(value, box->minimum(), box->maximum())));
        };
        shown(scrollbackLines, s.scrollbackLines);
        scrollbackUnlimited->setChecked(s.scrollbackUnlimited);
        shown(scrollbackMegabytes, s.scrollbackMegabytes);
        const QSignalBlocker i(shellIntegration), j(notifyAfter);
        shellIntegration->setChecked(s.shellIntegration);
        shown(notifyAfter, s.notifyAfterSeconds);
    }
    // The count is kept while unlimited, for switching back; the cap is what bounds an unlimited one.
    scrollbackLines->setEnabled(!s.scrollbackUnlimited);
    scrollbackMegabytes->setEnabled(s.scrollbackUnlimited);
    scrollbackCost->setText(ValueLabels::historyCost(s.historyLimit()));
    opacity->showValue(s.opacity, ValueLabels::percent(s.opacity));
    blur->showValue(s.blur, ValueLabels::percent(s.blur));
    saturation->showValue(s.saturation, ValueLabels::factor(s.saturation, 1));
    fontSize->showValue(s.fontSize, ValueLabels::points(s.fontSize));
    lineSpacing->showValue(s.lineSpacing, ValueLabels::factor(s.lineSpacing, 2));
    cornerRadius->showValue(s.cornerRadius, ValueLabels::points(s.cornerRadius));
    padding->showValue(s.padding, ValueLabels::points(s.padding));
}

void SettingsPanel::refillColorWells()
{
    const VitrionSettings& s = model.settings();
    tint->setColor(colorOf(s.tintRed, s.tintGreen, s.tintBlue));
    textColor->setColor(colorOf(s.textRed, s.textGreen, s.textBlue));
    colors->refillWells();
}

void SettingsPanel::showEvent(QShowEvent* event)
{
    refillColorWells();
    QWidget::showEvent(event);
}
