// The settings panel: labels and formats, slider mapping, pickers, colour wells, the scrollback rows,
// refresh without write-back, and closing by Done, Return and Escape.
#include "app/SettingsPanel.h"

#include "AppTestSupport.h"
#include "app/ColorWell.h"
#include "app/SettingsDialog.h"
#include "app/SliderRow.h"
#include "app/ValueLabels.h"
#include "settings/AppModel.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFontDatabase>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSet>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QTest>

#include <gtest/gtest.h>
#include <limits>
#include <memory>

namespace {

class SettingsPanelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        AppTestSupport::application();
        AppTestSupport::removeConfig();
    }

    // A panel on a fresh model whose settings start as `initial` (written as the config file).
    void open(const QByteArray& json = {})
    {
        if (!json.isEmpty()) {
            AppTestSupport::writeConfig(json);
        }
        model = std::make_unique<AppModel>();
        panel = std::make_unique<SettingsPanel>(*model);
        saves = std::make_unique<QSignalSpy>(model.get(), &AppModel::vitrionSettingsChanged);
        restarts = std::make_unique<QSignalSpy>(model.get(), &AppModel::sessionIDChanged);
    }

    static void pick(QComboBox* picker, const QString& text)
    {
        const int index = picker->findText(text);
        ASSERT_GE(index, 0) << text.toStdString();
        picker->setCurrentIndex(index);
        emit picker->activated(index); // what the popup emits for the user's choice
    }

    std::unique_ptr<AppModel> model;
    std::unique_ptr<SettingsPanel> panel;
    std::unique_ptr<QSignalSpy> saves;
    std::unique_ptr<QSignalSpy> restarts;
};

QString label(SliderRow* row)
{
    return row->valueLabel()->text();
}

} // namespace

TEST(ValueLabels, FormatsTruncateTowardZeroAndNeverFail)
{
    EXPECT_EQ(ValueLabels::percent(0.29), "28%"); // 0.29 x 100 is just below 29
    EXPECT_EQ(ValueLabels::percent(0.57), "56%");
    EXPECT_EQ(ValueLabels::percent(0.72), "72%");
    EXPECT_EQ(ValueLabels::percent(-0.255), "-25%");
    EXPECT_EQ(ValueLabels::percent(-0.001), "0%");
    EXPECT_EQ(ValueLabels::points(13.9), "13 pt");
    EXPECT_EQ(ValueLabels::points(-2.7), "-2 pt");
    EXPECT_EQ(ValueLabels::factor(0.0, 1), QStringLiteral("0.0\u00d7"));
    EXPECT_EQ(ValueLabels::factor(1.15, 2), QStringLiteral("1.15\u00d7"));

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (double v : {nan, inf, -inf, 1e300, -1e300, 9.3e18}) {
        EXPECT_FALSE(ValueLabels::percent(v).isEmpty());
        EXPECT_FALSE(ValueLabels::points(v).isEmpty());
        EXPECT_FALSE(ValueLabels::factor(v, 1).isEmpty());
    }
    EXPECT_EQ(ValueLabels::points(-9223372036854775808.0), "-9223372036854775808 pt");
    EXPECT_TRUE(ValueLabels::points(9223372036854775808.0).startsWith(QStringLiteral("\u2014")));
}

TEST(ValueLabels, HistoryCostIsBoundedByTheCapAndNeverWraps)
{
    constexpr std::size_t megabyte = 1 << 20;
    const std::pair<HistoryLimit, const char*> cases[] = {
        {{0, 512 * megabyte}, "about 0 MB"},
        {{1, 512 * megabyte}, "about 0.1 MB"}, // something, however little
        {{2000, 512 * megabyte}, "about 0.1 MB"},
        {{200'000, 512 * megabyte}, "about 9.2 MB"},
        {{1'000'000, 512 * megabyte}, "about 46 MB"},
        {{1'000'000, 16 * megabyte}, "about 16 MB"}, // the cap bounds a count too
        {{HistoryLimit::unlimitedLines - 1, 16 * megabyte}, "about 16 MB"},
        {{HistoryLimit::unlimitedLines, 512 * megabyte}, "up to 512 MB"},
        {{HistoryLimit::unlimitedLines, 65536 * megabyte}, "up to 65,536 MB"},
    };
    for (const auto& [limit, text] : cases) {
        EXPECT_EQ(ValueLabels::historyCost(limit), text) << limit.lines;
    }
}

TEST_F(SettingsPanelTest, DefaultSettingsShowTheDefaultLabelsAndItems)
{
    open();
    EXPECT_EQ(panel->materialPicker()->currentText(), "HUD");
    EXPECT_EQ(label(panel->opacityRow()), "100%");
    EXPECT_EQ(label(panel->blurRow()), "72%");
    EXPECT_EQ(label(panel->saturationRow()), QStringLiteral("0.0\u00d7"));
    EXPECT_EQ(panel->shellPicker()->currentText(), "Default");
    EXPECT_EQ(panel->fontPicker()->currentText(), "Menlo");
    EXPECT_EQ(label(panel->fontSizeRow()), "14 pt");
    EXPECT_EQ(label(panel->lineSpacingRow()), QStringLiteral("1.15\u00d7"));
    EXPECT_EQ(panel->cursorStylePicker()->currentText(), "Block");
    EXPECT_EQ(label(panel->cornerRadiusRow()), "20 pt");
    EXPECT_EQ(label(panel->paddingRow()), "24 pt");
    EXPECT_EQ(panel->scrollbackLinesBox()->value(), 2000);
    EXPECT_TRUE(panel->scrollbackLinesBox()->isEnabled());
    EXPECT_FALSE(panel->scrollbackUnlimitedBox()->isChecked());
    EXPECT_EQ(panel->scrollbackMegabytesBox()->value(), 512);
    EXPECT_FALSE(panel->scrollbackMegabytesBox()->isEnabled());
    EXPECT_EQ(panel->scrollbackCostLabel()->text(), "about 0.1 MB");

    EXPECT_EQ(panel->opacityRow()->titleLabel()->text(), "Background opacity");
    EXPECT_EQ(panel->opacityRow()->titleLabel()->width(), 132);
    EXPECT_EQ(panel->opacityRow()->valueLabel()->width(), 48);
    QStringList materials;
    for (int i = 0; i < panel->materialPicker()->count(); ++i) {
        materials << panel->materialPicker()->itemText(i);
    }
    EXPECT_EQ(materials, QStringList({"HUD", "Sidebar", "Menu", "Popover", "Content"}));
    EXPECT_EQ(panel->shellPicker()->count(), 6);
    EXPECT_EQ(panel->findChild<QLabel*>(QString(), Qt::FindChildrenRecursively) != nullptr, true);
    bool footer = false;
    for (QLabel* l : panel->findChildren<QLabel*>()) {
        footer = footer || l->text() == "Saved to ~/.config/Vitrion/config.json";
    }
    EXPECT_TRUE(footer);
    EXPECT_EQ(saves->count(), 0); // showing writes nothing
}

TEST_F(SettingsPanelTest, ValuesFromTheModelAreLabelledWithTruncation)
{
    open();
    model->updateSettings([](VitrionSettings& s) {
        s.opacity = 0.29;
        s.blur = 0.57;
        s.fontSize = 13.9;
    });
    EXPECT_EQ(label(panel->opacityRow()), "28%");
    EXPECT_EQ(label(panel->blurRow()), "56%");
    EXPECT_EQ(label(panel->fontSizeRow()), "13 pt");
    EXPECT_EQ(saves->count(), 1); // the refresh wrote nothing back
    EXPECT_EQ(model->settings().opacity, 0.29);
}

TEST_F(SettingsPanelTest, SliderEndsAreExactAndEveryShownValueIsReachable)
{
    open();
    QSlider* opacity = panel->opacityRow()->slider();
    opacity->setValue(0);
    EXPECT_EQ(model->settings().opacity, 0.1);
    EXPECT_EQ(label(panel->opacityRow()), "10%");
    opacity->setValue(SliderRow::steps);
    EXPECT_EQ(model->settings().opacity, 1.0);
    panel->paddingRow()->slider()->setValue(0);
    EXPECT_EQ(model->settings().padding, 4.0);
    panel->paddingRow()->slider()->setValue(SliderRow::steps);
    EXPECT_EQ(model->settings().padding, 48.0);

    const auto shown = [](SliderRow* row, auto format) {
        QSet<QString> labels;
        for (int p = 0; p <= SliderRow::steps; ++p) {
            labels.insert(format(row->valueAt(p)));
        }
        return labels;
    };
    const QSet<QString> percents = shown(panel->opacityRow(), ValueLabels::percent);
    for (int k = 10; k <= 100; ++k) {
        EXPECT_TRUE(percents.contains(QString::number(k) + "%")) << k;
    }
    const QSet<QString> spacings =
        shown(panel->lineSpacingRow(), [](double v) { return ValueLabels::factor(v, 2); });
    for (int k = 80; k <= 200; ++k) {
        EXPECT_TRUE(spacings.contains(QString::asprintf("%.2f\u00d7", k / 100.0))) << k;
    }
    const QSet<QString> sizes = shown(panel->fontSizeRow(), ValueLabels::points);
    for (int k = 9; k <= 28; ++k) {
        EXPECT_TRUE(sizes.contains(QString::number(k) + " pt")) << k;
    }
}

TEST_F(SettingsPanelTest, OutOfRangeValuesAreShownAsTheyAreUntilTheSliderMoves)
{
    VitrionSettings file;
    open(
        R"({"blur":0.72,"configurationVersion":2,"cornerRadius":20,"cursorStyle":"Block","fontName":"Terminus",
             "fontSize":500,"lineSpacing":1.15,"material":"HUD","opacity":1,"padding":2,"saturation":0,
             "shell":"tcsh","textBlue":0.96,"textGreen":0.93,"textRed":0.92,"tintBlue":0.21,"tintGreen":0.15,
             "tintRed":0.11})");
    EXPECT_EQ(label(panel->paddingRow()), "2 pt");
    EXPECT_EQ(panel->paddingRow()->slider()->value(), 0);
    EXPECT_EQ(label(panel->fontSizeRow()), "500 pt");
    EXPECT_EQ(panel->fontSizeRow()->slider()->value(), SliderRow::steps);
    EXPECT_EQ(panel->shellPicker()->currentIndex(), -1); // no item, value kept
    EXPECT_EQ(panel->fontPicker()->currentIndex(), -1);
    EXPECT_EQ(model->settings().padding, 2.0);
    EXPECT_EQ(model->settings().shell, "tcsh");
    EXPECT_EQ(saves->count(), 0);

    panel->paddingRow()->slider()->setValue(SliderRow::steps / 2);
    EXPECT_EQ(model->settings().padding, 26.0);
    EXPECT_EQ(model->settings().fontSize, 500.0); // other rows untouched
}

TEST_F(SettingsPanelTest, ShellPickRestartsOnceAndAnUnchangedPickNever)
{
    open();
    pick(panel->shellPicker(), "bash");
    EXPECT_EQ(model->settings().shell, "bash");
    EXPECT_EQ(saves->count(), 1);
    EXPECT_EQ(restarts->count(), 1);

    pick(panel->shellPicker(), "bash");
    EXPECT_EQ(saves->count(), 1);
    EXPECT_EQ(restarts->count(), 1);

    // A second presentation of the panel on the same model does not restart a second time.
    SettingsPanel other(*model);
    pick(panel->shellPicker(), "sh");
    EXPECT_EQ(restarts->count(), 2);
    EXPECT_EQ(other.shellPicker()->currentText(), "sh");
}

TEST_F(SettingsPanelTest, PickersWriteTheirFields)
{
    open();
    pick(panel->materialPicker(), "Sidebar");
    pick(panel->fontPicker(), "SF Mono");
    pick(panel->cursorStylePicker(), "Underline");
    EXPECT_EQ(model->settings().material, GlassMaterial::sidebar);
    EXPECT_EQ(model->settings().fontName, "SF Mono");
    EXPECT_EQ(model->settings().cursorStyle, TerminalCursorStyle::underline);
    EXPECT_EQ(saves->count(), 3);
    EXPECT_EQ(restarts->count(), 0);
}

TEST_F(SettingsPanelTest, ScrollbackRowsWriteTheirFieldsAndShowTheCost)
{
    open();
    QSpinBox* lines = panel->scrollbackLinesBox();
    QSpinBox* megabytes = panel->scrollbackMegabytesBox();
    EXPECT_EQ(lines->minimum(), 0);
    EXPECT_EQ(lines->maximum(), 1'000'000);
    EXPECT_EQ(megabytes->minimum(), 16);
    EXPECT_EQ(megabytes->maximum(), 65536);

    lines->setValue(1'000'000);
    EXPECT_EQ(model->settings().scrollbackLines, 1'000'000);
    EXPECT_EQ(panel->scrollbackCostLabel()->text(), "about 46 MB");

    panel->scrollbackUnlimitedBox()->click();
    EXPECT_TRUE(model->settings().scrollbackUnlimited);
    EXPECT_FALSE(lines->isEnabled());
    EXPECT_TRUE(megabytes->isEnabled());
    EXPECT_EQ(panel->scrollbackCostLabel()->text(), "up to 512 MB");
    megabytes->setValue(2048);
    EXPECT_EQ(model->settings().scrollbackMegabytes, 2048);
    EXPECT_EQ(panel->scrollbackCostLabel()->text(), "up to 2,048 MB");
    EXPECT_EQ(megabytes->text(), "2,048 MB"); // the label's digits

    panel->scrollbackUnlimitedBox()->click();
    EXPECT_FALSE(model->settings().scrollbackUnlimited);
    EXPECT_EQ(lines->value(), 1'000'000); // the count came back with the switch
    EXPECT_EQ(saves->count(), 4);
    EXPECT_EQ(restarts->count(), 0);

    // Typed digits are one write when the entry is finished, never a passing 5-line history.
    lines->selectAll();
    QTest::keyClicks(lines, "5000");
    EXPECT_EQ(saves->count(), 4);
    QTest::keyClick(lines, Qt::Key_Return);
    EXPECT_EQ(saves->count(), 5);
    EXPECT_EQ(model->settings().scrollbackLines, 5000);

    // A second panel on the model follows without writing anything back.
    SettingsPanel other(*model);
    EXPECT_EQ(other.scrollbackLinesBox()->value(), 5000);
    EXPECT_EQ(other.scrollbackMegabytesBox()->value(), 2048);
    EXPECT_EQ(saves->count(), 5);
}

TEST_F(SettingsPanelTest, AColourPickSavesThreeTimesRedGreenBlue)
{
    open();
    panel->show();
    panel->tintWell()->openDialog();
    QColorDialog* dialog = panel->tintWell()->dialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(dialog->testOption(QColorDialog::ShowAlphaChannel));

    dialog->setCurrentColor(QColor(255, 0, 128));
    ASSERT_EQ(saves->count(), 3);
    const auto record = [this](int i) { return saves->at(i).at(0).value<VitrionSettings>(); };
    EXPECT_EQ(record(0).tintRed, 1.0);
    EXPECT_EQ(record(0).tintGreen, 0.15); // only red is new in the first record
    EXPECT_EQ(record(1).tintGreen, 0.0);
    EXPECT_EQ(record(1).tintBlue, 0.21);
    EXPECT_NEAR(record(2).tintBlue, 128 / 255.0, 1e-9);
    EXPECT_EQ(model->settings().textRed, 0.92); // the other well's fields are untouched

    dialog->reject(); // Cancel goes back to the colour the well started from
    EXPECT_EQ(saves->count(), 6);
    EXPECT_NEAR(model->settings().tintRed, 0.11, 1e-4);
    EXPECT_NEAR(model->settings().tintBlue, 0.21, 1e-4);
}

TEST_F(SettingsPanelTest, WellsAreRefilledFromTheSettingsEachTimeThePanelIsShown)
{
    open();
    model->updateSettings([](VitrionSettings& s) {
        s.textRed = 0.0;
        s.textGreen = 1.0;
        s.textBlue = 0.0;
    });
    EXPECT_NE(panel->textColorWell()->color(), QColor(0, 255, 0)); // not while hidden
    panel->show();
    EXPECT_EQ(panel->textColorWell()->color(), QColor(0, 255, 0));
    panel->hide();
    model->updateSettings([](VitrionSettings& s) { s.tintRed = std::numeric_limits<double>::quiet_NaN(); });
    panel->show();
    EXPECT_EQ(panel->tintWell()->color(), QColor(Qt::white));
}

TEST_F(SettingsPanelTest, DoneReturnAndEscapeCloseTheDialog)
{
    open();
    SettingsDialog dialog(*model, SettingsDialog::Presentation::sheet, nullptr);
    EXPECT_EQ(dialog.windowTitle(), "Vitrion Settings");
    EXPECT_EQ(dialog.panel()->width(), 480);
    for (int key : {int(Qt::Key_Return), int(Qt::Key_Escape), 0}) {
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        EXPECT_EQ(dialog.width(), 520);
        EXPECT_LE(dialog.height(), dialog.screen()->availableGeometry().height()); // scrolled to fit
        if (key) {
            QTest::keyClick(&dialog, Qt::Key(key));
        } else {
            dialog.panel()->doneButton()->click();
        }
        EXPECT_FALSE(dialog.isVisible()) << key;
    }
    EXPECT_EQ(saves->count(), 0); // closing changes no setting
}

TEST_F(SettingsPanelTest, AnUnreadableFileIsShownAndReplacedOnlyWhenAsked)
{
    open("{ not json");
    EXPECT_FALSE(panel->fileProblemBox()->isHidden());
    EXPECT_TRUE(panel->fileProblemText()->text().startsWith("~/.config/Vitrion/config.json cannot be read ("))
        << panel->fileProblemText()->text().toStdString();
    QSlider* size = panel->fontSizeRow()->slider();
    size->setValue(size->maximum()); // exactly 28, and it still applies here
    EXPECT_EQ(model->settings().fontSize, 28);
    EXPECT_EQ(AppTestSupport::readConfig(), "{ not json");

    panel->replaceFileButton()->click();
    EXPECT_TRUE(panel->fileProblemBox()->isHidden());
    EXPECT_EQ(VitrionSettings::load().fontSize, 28);
    QFile kept(AppTestSupport::configPath() + ".unreadable");
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "{ not json");
    kept.remove();
}

TEST_F(SettingsPanelTest, AChangeMadeToTheFileElsewhereShowsInTheOpenPanel)
{
    open();
    EXPECT_TRUE(panel->fileProblemBox()->isHidden());
    AppTestSupport::writeConfig(R"({"fontSize": 13, "padding": 40})");
    ASSERT_TRUE(QTest::qWaitFor([&] { return label(panel->fontSizeRow()) == "13 pt"; }, 5000));
    EXPECT_EQ(label(panel->paddingRow()), "40 pt");
    EXPECT_EQ(saves->count(), 1); // announced once, and nothing written back
    EXPECT_EQ(AppTestSupport::readConfig(), R"({"fontSize": 13, "padding": 40})");
}

TEST_F(SettingsPanelTest, TheFontPickerOffersFixedPitchFamiliesFirst)
{
    open();
    QComboBox* picker = panel->fontPicker();
    QStringList items;
    for (int i = 0; i < picker->count(); ++i) {
        items << picker->itemText(i); // a separator's text is empty
    }
    EXPECT_EQ(items.mid(0, 5), (QStringList{"Menlo", "Monaco", "SF Mono", "Courier", ""}));
    const qsizetype proportionalStart = items.lastIndexOf(QString());
    ASSERT_GT(proportionalStart, 4);
    for (qsizetype i = 5; i < items.size(); ++i) {
        if (i != proportionalStart) {
            EXPECT_EQ(QFontDatabase::isFixedPitch(items[i]), i < proportionalStart) << items[i].toStdString();
        }
    }
    if (items.contains("DejaVu Sans Mono") && items.contains("DejaVu Sans")) {
        EXPECT_LT(items.indexOf("DejaVu Sans Mono"), items.indexOf("DejaVu Sans"));
    }
    pick(picker, "DejaVu Sans");
    EXPECT_EQ(model->settings().fontName, "DejaVu Sans");
}

TEST_F(SettingsPanelTest, TheSwitchesWriteTheirSettingsAndFollowTheModel)
{
    open();
    struct Switch {
        QCheckBox* box;
        bool VitrionSettings::*field;
    };
    for (const Switch& s : {Switch{panel->closeOnExitBox(), &VitrionSettings::closeOnShellExit},
                            Switch{panel->clipboardWritesBox(), &VitrionSettings::allowClipboardWrites}}) {
        const bool initial = model->settings().*s.field;
        EXPECT_EQ(s.box->isChecked(), initial);
        s.box->click();
        EXPECT_EQ(model->settings().*s.field, !initial);
        EXPECT_EQ(VitrionSettings::load().*s.field, !initial);
        model->updateSettings([&s, initial](VitrionSettings& settings) { settings.*s.field = initial; });
        EXPECT_EQ(s.box->isChecked(), initial);
    }
    EXPECT_EQ(restarts->count(), 0); // the running shell is left alone
}
