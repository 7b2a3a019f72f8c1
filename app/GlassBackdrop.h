// The bottom layer of the main window: the glass. Paints the material's base tone (over the window
// colour when no compositor can show what is behind) and keeps exactly one tint layer on top of it.
#pragma once

#include "settings/VitrionSettings.h"

#include <QWidget>

class GlassTintLayer;

class GlassBackdrop : public QWidget {
    Q_OBJECT
public:
    explicit GlassBackdrop(const VitrionSettings& settings, QWidget* parent = nullptr);

    // The update: material with the blur override, then a fresh tint layer replacing the old one.
    void applySettings(const VitrionSettings& settings);

    // Without a compositor the pixels behind an ARGB window are undefined: paint the glass opaque.
    void setCompositingActive(bool active);
    bool compositingActive() const { return compositing; }

    GlassMaterial material() const { return shownMaterial; }
    // The one opaque colour the glass looks like over the window colour: what programs that ask
    // for the terminal's background are told, and what inverse text of the default colours shows.
    QColor apparentColor() const { return apparent; }
    bool blursBehind() const;
    GlassTintLayer* tintLayer() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    GlassMaterial shownMaterial = GlassMaterial::hud;
    QColor apparent;
    bool compositing = false;
};
