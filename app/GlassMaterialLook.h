// What each glass material looks like on a Linux desktop: the translucent base tone painted under
// the tint, and whether the compositor is asked to blur what lies behind the window.
#pragma once

#include "settings/VitrionSettings.h"

#include <QColor>

struct GlassMaterialLook {
    QColor baseTone;  // painted under the tint, translucent
    bool blursBehind; // whether the window asks the compositor for blur behind the glass
};

// The desktop offers no catalogue of materials, so these five are Vitrion's own.
GlassMaterialLook lookOf(GlassMaterial material);
