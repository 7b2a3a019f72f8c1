// The colour scheme controls and their preview.
#include "ColorSchemeSection.h"

#include "ColorWell.h"
#include "SliderRow.h"
#include "settings/AppModel.h"
#include "settings/SchemeImport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <cmath>

namespace {

QColor qColor(quint32 rgb)
{
    return QColor::fromRgb(QRgb(rgb | 0xff000000u));
}

quint32 packed(const QColor& picked)
{
    return quint32(picked.isValid() ? picked.toRgb().rgb() : QColor(Qt::white).rgb()) & 0xffffffu;
}

quint32 packed(double red, double green, double blue)
{
    const auto level = [](double c) {
        return quint32(std::lround(std::isfinite(c) ? std::clamp(c, 0.0, 1.0) * 255 : 255));
    };
    return level(red) << 16 | level(green) << 8 | level(blue);
}

// A few lines as a shell shows them, in the settings' colours over the tint.
class SchemePreview : public QWidget {
public:
    SchemePreview(AppModel& model, QWidget* parent) : QWidget(parent), model(model)
    {
        setMinimumHeight(84);
        setAccessibleName(QStringLiteral("Preview"));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        const VitrionSettings& s = model.settings();
        QPainter painter(this);
        painter.fillRect(rect(), qColor(packed(s.tintRed, s.tintGreen, s.tintBlue)));
        QFont font(QStringLiteral("monospace"));
        font.setStyleHint(QFont::Monospace);
        font.setPixelSize(12);
        painter.setFont(font);
        const QColor text = qColor(packed(s.textRed, s.textGreen, s.textBlue));
        const auto ansi = [&s](int i) { return qColor(s.ansiColors[std::size_t(i)]); };
        struct Piece {
            QString text;
            QColor color;
        };
        const QList<QList<Piece>> lines{
            {{QStringLiteral("~/src"), ansi(4)}, {QStringLiteral(" $ "), text}, {QStringLiteral("ls"), text}},
            {{QStringLiteral("build/  "), ansi(12)},
             {QStringLiteral("run.sh  "), ansi(2)},
             {QStringLiteral("notes.md"), text}},
            {{QStringLiteral("error: "), ansi(1)},
             {QStringLiteral("warning: "), ansi(3)},
             {QStringLiteral("note "), ansi(6)},
             {QStringLiteral("tag"), ansi(5)}},
        };
        const QFontMetrics metrics(font);
        int y = 6 + metrics.ascent();
        for (const auto& line : lines) {
            int x = 8;
            for (const Piece& piece : line) {
                painter.setPen(piece.color);
                painter.drawText(x, y, piece.text);
                x += metrics.horizontalAdvance(piece.text);
            }
            y += metrics.height() + 2;
        }
        // The sixteen as swatches, normal over bright.
        const int side = std::max(4, (width() - 16) / 16);
        for (int i = 0; i < 16; ++i) {
            painter.fillRect(QRect(8 + i * side, y - metrics.ascent() + 2, side - 2, 10), ansi(i));
        }
    }

private:
    AppModel& model;
};

QLabel* rowLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFixedWidth(132);
    return label;
}

QHBoxLayout* row(QVBoxLayout* column, QLabel* label)
{
    auto* line = new QHBoxLayout;
    line->setSpacing(9);
    line->addWidget(label);
    column->addLayout(line);
    return line;
}

ColorWell* smallWell(const QString& name, QWidget* parent)
{
    auto* well = new ColorWell(name, parent);
    well->setFixedSize(30, 22);
    return well;
}

QString contrastLabel(double ratio)
{
    if (!std::isfinite(ratio) || ratio <= VitrionSettings::minimumContrastOff) {
        return QStringLiteral("Off");
    }
    return QStringLiteral("%1:1").arg(ratio, 0, 'f', 1);
}

} // namespace

ColorSchemeSection::ColorSchemeSection(AppModel& appModel, QWidget* parent)
    : QGroupBox(QStringLiteral("Colors"), parent), model(appModel)
{
    auto* column = new QVBoxLayout(this);
    column->setSpacing(8);

    auto* schemeRow = row(column, rowLabel(QStringLiteral("Scheme"), this));
    scheme = schemeList(QStringLiteral("Scheme"));
    importer = new QPushButton(QStringLiteral("Import\u2026"), this);
    importer->setAutoDefault(false);
    schemeRow->addWidget(scheme, 1);
    schemeRow->addWidget(importer);
    connect(scheme, &QComboBox::activated, this, [this](int index) {
        if (const auto chosen = ColorSchemes::find(model.settings(), scheme->itemText(index))) {
            choose(*chosen);
        }
    });
    connect(importer, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(
            this, QStringLiteral("Import a Color Scheme"), QString(),
            QStringLiteral(
                "Color schemes (*.toml *.yml *.yaml *.json *.itermcolors *.Xresources *.xresources);;"
                "All files (*)"));
        if (!path.isEmpty()) {
            importFile(path);
        }
    });
    status = new QLabel(this);
    status->setTextFormat(Qt::PlainText);
    status->setWordWrap(true);
    status->hide();
    column->addWidget(status);

    auto* grid = new QGridLayout;
    grid->setSpacing(4);
    for (int i = 0; i < 16; ++i) {
        ColorWell* well = smallWell(QStringLiteral("Color %1").arg(i), this);
        grid->addWidget(well, i / 8, i % 8);
        wells.append(well);
        connect(well, &ColorWell::colorPicked, this, [this, i](const QColor& picked) {
            const quint32 rgb = packed(picked);
            model.updateSettings([i, rgb](VitrionSettings& s) { s.ansiColors[std::size_t(i)] = rgb; });
        });
    }
    auto* colorsRow = row(column, rowLabel(QStringLiteral("Colors 0\u20137, 8\u201315"), this));
    colorsRow->addLayout(grid);
    colorsRow->addStretch(1);

    auto* cursorRow = row(column, rowLabel(QStringLiteral("Cursor, selection"), this));
    cursor = smallWell(QStringLiteral("Cursor color"), this);
    selection = smallWell(QStringLiteral("Selection color"), this);
    selectionText = smallWell(QStringLiteral("Selected text color"), this);
    cursorRow->addWidget(cursor);
    cursorRow->addWidget(selection);
    cursorRow->addWidget(selectionText);
    cursorRow->addStretch(1);
    connect(cursor, &ColorWell::colorPicked, this, [this](const QColor& picked) {
        const quint32 rgb = packed(picked);
        model.updateSettings([rgb](VitrionSettings& s) { s.cursorColor = rgb; });
    });
    connect(selection, &ColorWell::colorPicked, this, [this](const QColor& picked) {
        const quint32 rgb = packed(picked);
        model.updateSettings([rgb](VitrionSettings& s) { s.selectionColor = rgb; });
    });
    connect(selectionText, &ColorWell::colorPicked, this, [this](const QColor& picked) {
        const quint32 rgb = packed(picked);
        model.updateSettings([rgb](VitrionSettings& s) { s.selectionTextColor = rgb; });
    });

    sample = new SchemePreview(model, this);
    column->addWidget(sample);

    follow = new QCheckBox(QStringLiteral("Follow the desktop's light and dark style"), this);
    row(column, rowLabel(QStringLiteral("Desktop style"), this))->addWidget(follow, 1);
    connect(follow, &QCheckBox::toggled, this, [this](bool checked) {
        model.updateSettings([checked](VitrionSettings& s) { s.followDesktop = checked; });
    });
    auto* styleRow = row(column, rowLabel(QStringLiteral("Light, dark"), this));
    light = schemeList(QStringLiteral("Light scheme"));
    dark = schemeList(QStringLiteral("Dark scheme"));
    styleRow->addWidget(light, 1);
    styleRow->addWidget(dark, 1);
    connect(light, &QComboBox::activated, this, [this](int index) {
        const QString name = light->itemText(index);
        model.updateSettings([&name](VitrionSettings& s) { s.lightScheme = name; });
    });
    connect(dark, &QComboBox::activated, this, [this](int index) {
        const QString name = dark->itemText(index);
        model.updateSettings([&name](VitrionSettings& s) { s.darkScheme = name; });
    });

    contrast = new SliderRow(QStringLiteral("Minimum contrast"), 1.0, 7.0, this);
    column->addWidget(contrast);
    connect(contrast, &SliderRow::valueEdited, this, [this](double value) {
        // Steps of a tenth, as the label shows them.
        const double ratio = std::round(value * 10) / 10;
        model.updateSettings([ratio](VitrionSettings& s) { s.minimumContrast = ratio; });
    });

    refresh();
    refillWells();
    connect(&model, &AppModel::settingsChanged, this, &ColorSchemeSection::refresh);
}

QComboBox* ColorSchemeSection::schemeList(const QString& name)
{
    auto* picker = new QComboBox(this);
    picker->setAccessibleName(name);
    picker->setMinimumContentsLength(10);
    return picker;
}

void ColorSchemeSection::fillSchemeLists()
{
    QStringList names;
    for (const QList<ColorScheme>* list : {&ColorSchemes::builtIn(), &model.settings().importedSchemes}) {
        for (const ColorScheme& s : *list) {
            names.append(s.name);
        }
    }
    for (QComboBox* picker : {scheme, light, dark}) {
        QStringList shown;
        for (int i = 0; i < picker->count(); ++i) {
            shown.append(picker->itemText(i));
        }
        if (shown != names) {
            picker->clear();
            picker->addItems(names);
        }
    }
}

void ColorSchemeSection::choose(const ColorScheme& chosen)
{
    const std::optional<bool> desktopDark = model.desktopPrefersDark();
    model.updateSettings([&chosen, desktopDark](VitrionSettings& s) {
        if (s.followDesktop && desktopDark) {
            (*desktopDark ? s.darkScheme : s.lightScheme) = chosen.name; // the model takes it
        } else {
            ColorSchemes::apply(s, chosen);
        }
    });
    refillWells();
    emit schemeChosen();
}

bool ColorSchemeSection::importFile(const QString& path)
{
    const SchemeImport::Result result = SchemeImport::read(path);
    status->show();
    if (!result.scheme) {
        status->setText(
            QStringLiteral("%1 could not be imported: %2").arg(QFileInfo(path).fileName(), result.error));
        return false;
    }
    ColorScheme kept;
    model.updateSettings(
        [&result, &kept](VitrionSettings& s) { kept = ColorSchemes::keepImported(s, *result.scheme); });
    choose(kept);
    status->setText(QStringLiteral("Imported \u201c%1\u201d.").arg(kept.name));
    return true;
}

void ColorSchemeSection::refresh()
{
    const VitrionSettings& s = model.settings();
    {
        const QSignalBlocker a(scheme), b(light), c(dark), d(follow);
        fillSchemeLists();
        scheme->setCurrentIndex(scheme->findText(s.colorScheme)); // -1: a name no longer known
        light->setCurrentIndex(light->findText(s.lightScheme));
        dark->setCurrentIndex(dark->findText(s.darkScheme));
        follow->setChecked(s.followDesktop);
    }
    light->setEnabled(s.followDesktop);
    dark->setEnabled(s.followDesktop);
    contrast->showValue(s.minimumContrast, contrastLabel(s.minimumContrast));
    refillWells();
    sample->update();
}

void ColorSchemeSection::refillWells()
{
    const VitrionSettings& s = model.settings();
    for (int i = 0; i < 16; ++i) {
        wells[i]->setColor(qColor(s.ansiColors[std::size_t(i)]));
    }
    cursor->setColor(qColor(s.cursorColor));
    selection->setColor(s.selectionColor ? qColor(*s.selectionColor) : palette().color(QPalette::Highlight));
    selectionText->setColor(
        qColor(s.selectionTextColor.value_or(packed(s.textRed, s.textGreen, s.textBlue))));
}
