// The sheet and the settings window: the panel at 480 wide with 20 of padding.
#include "SettingsDialog.h"

#include "SettingsPanel.h"

#include <QVBoxLayout>

SettingsDialog::SettingsDialog(AppModel& model, Presentation presentation, QWidget* parent)
    : QDialog(parent), content(new SettingsPanel(model, this))
{
    setWindowTitle(QStringLiteral("Vitrion Settings"));
    setWindowModality(presentation == Presentation::sheet ? Qt::WindowModal : Qt::NonModal);
    setSizeGripEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    content->setFixedWidth(480);
    layout->addWidget(content);

    // Closing changes no setting: every change was saved when it was made.
    connect(content, &SettingsPanel::dismissRequested, this, &QDialog::accept);
}
