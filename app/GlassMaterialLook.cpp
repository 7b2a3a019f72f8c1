// The five glass materials as Vitrion draws them (documented in docs/ARCHITECTURE.md).
#include "GlassMaterialLook.h"

GlassMaterialLook lookOf(GlassMaterial material)
{
    switch (material) {
    case GlassMaterial::hud: // smoked glass: darkens what is behind, keeps light text readable
        return {QColor::fromRgbF(0.05f, 0.06f, 0.08f, 0.40f), true};
    case GlassMaterial::sidebar: // cool slate
        return {QColor::fromRgbF(0.30f, 0.36f, 0.46f, 0.38f), true};
    case GlassMaterial::menu: // pale frost
        return {QColor::fromRgbF(0.80f, 0.82f, 0.86f, 0.32f), true};
    case GlassMaterial::popover: // warm milk glass
        return {QColor::fromRgbF(0.95f, 0.92f, 0.86f, 0.26f), true};
    case GlassMaterial::content: // clear pane: no frosting and no blur, what is behind stays sharp
        return {QColor::fromRgbF(0.50f, 0.50f, 0.50f, 0.06f), false};
    }
    return {QColor::fromRgbF(0.05f, 0.06f, 0.08f, 0.40f), true};
}
