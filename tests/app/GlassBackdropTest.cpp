// The glass: tint colour rules, the blur override of the material, the single tint layer, and what
// the backdrop paints with and without a compositor.
#include "app/GlassBackdrop.h"

#include "AppTestSupport.h"
#include "app/GlassMaterialLook.h"
#include "app/GlassTint.h"
#include "app/GlassTintLayer.h"

#include <QImage>

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

// The widget's own pixels over transparency (grab() would start from a window background).
QImage rendered(QWidget& widget)
{
    QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

VitrionSettings withTint(double r, double g, double b, double saturation, double opacity)
{
    VitrionSettings s;
    s.tintRed = r;
    s.tintGreen = g;
    s.tintBlue = b;
    s.saturation = saturation;
    s.opacity = opacity;
    return s;
}

class GlassBackdropTest : public ::testing::Test {
protected:
    void SetUp() override { AppTestSupport::application(); }
};

} // namespace

TEST(GlassTint, DefaultsGiveTheOpaqueLuminanceGrey)
{
    const TintColor tint = tintColor(VitrionSettings{});
    const double grey = 0.2126 * 0.11 + 0.7152 * 0.15 + 0.0722 * 0.21;
    EXPECT_NEAR(grey, 0.145828, 1e-6);
    EXPECT_DOUBLE_EQ(tint.red, grey);
    EXPECT_DOUBLE_EQ(tint.green, grey);
    EXPECT_DOUBLE_EQ(tint.blue, grey);
    EXPECT_EQ(tint.alpha, 1.0);
}

TEST(GlassTint, SaturationOneKeepsTheColour)
{
    const TintColor tint = tintColor(withTint(0.11, 0.15, 0.21, 1.0, 1.0));
    EXPECT_DOUBLE_EQ(tint.red, 0.11);
    EXPECT_DOUBLE_EQ(tint.green, 0.15);
    EXPECT_DOUBLE_EQ(tint.blue, 0.21);
}

TEST(GlassTint, SaturationTwoDoublesTheDistanceAndChannelsAreLimited)
{
    const TintColor tint = tintColor(withTint(0.9, 0.1, 0.1, 2.0, 1.0));
    EXPECT_EQ(tint.red, 1.0);   // 1.52992 limited
    EXPECT_EQ(tint.green, 0.0); // -0.07008 limited
    EXPECT_EQ(tint.blue, 0.0);
    // Saturation beyond 2 acts as 2, below 0 as 0 (a grey).
    const TintColor beyond = tintColor(withTint(0.6, 0.4, 0.3, 7.0, 1.0));
    const TintColor two = tintColor(withTint(0.6, 0.4, 0.3, 2.0, 1.0));
    EXPECT_EQ(beyond.red, two.red);
    EXPECT_EQ(beyond.blue, two.blue);
    const TintColor negative = tintColor(withTint(0.6, 0.4, 0.3, -3.0, 1.0));
    EXPECT_EQ(negative.red, negative.green);
    EXPECT_EQ(negative.green, negative.blue);
}

TEST(GlassTint, AlphaIsTheOpacityLimitedToAVisibleRange)
{
    EXPECT_EQ(tintColor(withTint(0.1, 0.2, 0.3, 0, 0.0)).alpha, 0.08);
    EXPECT_EQ(tintColor(withTint(0.1, 0.2, 0.3, 0, 0.5)).alpha, 0.5);
    EXPECT_EQ(tintColor(withTint(0.1, 0.2, 0.3, 0, 3.0)).alpha, 1.0);
    EXPECT_EQ(tintColor(withTint(0.1, 0.2, 0.3, 0, -1.0)).alpha, 0.08);
}

TEST(GlassTint, NonFiniteSettingsStillGiveADrawableColour)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (const TintColor& tint :
         {tintColor(withTint(nan, 0.2, 0.3, 1, nan)), tintColor(withTint(0.1, inf, 0.3, nan, inf)),
          tintColor(withTint(0.1, 0.2, 0.3, inf, 0.5))}) {
        for (double c : {tint.red, tint.green, tint.blue}) {
            EXPECT_TRUE(c >= 0.0 && c <= 1.0) << c;
        }
        EXPECT_TRUE(tint.alpha >= 0.08 && tint.alpha <= 1.0) << tint.alpha;
    }
}

TEST(GlassMaterialOverride, LowBlurForcesLighterMaterialsWithStrictThresholds)
{
    const auto shown = [](GlassMaterial chosen, double blur) {
        VitrionSettings s;
        s.material = chosen;
        s.blur = blur;
        return effectiveMaterial(s);
    };
    for (GlassMaterial chosen : allGlassMaterials()) {
        EXPECT_EQ(shown(chosen, 0.2), GlassMaterial::content);
        EXPECT_EQ(shown(chosen, -1.0), GlassMaterial::content);
        EXPECT_EQ(shown(chosen, 0.3399999), GlassMaterial::content);
        EXPECT_EQ(shown(chosen, 0.34), GlassMaterial::popover);
        EXPECT_EQ(shown(chosen, 0.5), GlassMaterial::popover);
        EXPECT_EQ(shown(chosen, 0.6799999), GlassMaterial::popover);
        EXPECT_EQ(shown(chosen, 0.68), chosen);
        EXPECT_EQ(shown(chosen, 0.72), chosen);
        EXPECT_EQ(shown(chosen, 5.0), chosen);
    }
    EXPECT_EQ(shown(GlassMaterial::sidebar, std::numeric_limits<double>::quiet_NaN()),
              GlassMaterial::sidebar);
}

TEST(GlassMaterialLook, FiveDistinctTranslucentTonesAndOnlyContentIsClear)
{
    QList<QRgb> tones;
    for (GlassMaterial m : allGlassMaterials()) {
        const GlassMaterialLook look = lookOf(m);
        EXPECT_LT(look.baseTone.alphaF(), 0.5f);
        EXPECT_FALSE(tones.contains(look.baseTone.rgba()));
        tones.append(look.baseTone.rgba());
        EXPECT_EQ(look.blursBehind, m != GlassMaterial::content);
    }
}

TEST_F(GlassBackdropTest, ExactlyOneTintLayerInFrontAfterManyUpdates)
{
    QWidget window;
    window.resize(700, 500);
    GlassBackdrop backdrop{VitrionSettings{}, &window};
    backdrop.resize(300, 200);
    window.show();
    auto* foreignNamed = new QWidget(&backdrop);
    foreignNamed->setObjectName(QStringLiteral("somebodyElse"));
    auto* foreignPlain = new QWidget(&backdrop);

    VitrionSettings s;
    for (int i = 0; i < 50; ++i) {
        s.opacity = i / 50.0;
        s.blur = (i % 3) * 0.4;
        backdrop.applySettings(s);
    }
    const auto layers =
        backdrop.findChildren<QWidget*>(QStringLiteral("vitrionTint"), Qt::FindDirectChildrenOnly);
    ASSERT_EQ(layers.size(), 1);
    EXPECT_EQ(backdrop.children().last(), layers.first()); // front-most sibling
    EXPECT_EQ(layers.first()->geometry(), backdrop.rect());
    EXPECT_TRUE(backdrop.children().contains(foreignNamed));
    EXPECT_TRUE(backdrop.children().contains(foreignPlain));

    const TintColor expected = tintColor(s);
    const QColor shown = backdrop.tintLayer()->color();
    EXPECT_NEAR(shown.alphaF(), expected.alpha, 1e-4);
    EXPECT_NEAR(shown.redF(), expected.red, 1e-4);
    EXPECT_EQ(backdrop.material(), effectiveMaterial(s));

    backdrop.resize(640, 400); // the layer follows the backdrop's size
    EXPECT_EQ(backdrop.tintLayer()->geometry(), QRect(0, 0, 640, 400));
}

TEST_F(GlassBackdropTest, DefaultsPaintTheOpaqueGreyEitherWay)
{
    GlassBackdrop backdrop{VitrionSettings{}};
    backdrop.resize(120, 80);
    for (bool compositing : {false, true}) {
        backdrop.setCompositingActive(compositing);
        const QImage image = rendered(backdrop);
        const QColor pixel = image.pixelColor(60, 40);
        EXPECT_EQ(pixel.alpha(), 255);
        EXPECT_NEAR(pixel.redF(), 0.1458, 0.006);
        EXPECT_NEAR(pixel.greenF(), 0.1458, 0.006);
        EXPECT_NEAR(pixel.blueF(), 0.1458, 0.006);
    }
}

TEST_F(GlassBackdropTest, TranslucentOnlyWhenACompositorShowsWhatIsBehind)
{
    VitrionSettings s;
    s.opacity = 0.5;
    GlassBackdrop backdrop{s};
    backdrop.resize(120, 80);

    backdrop.setCompositingActive(true);
    const QColor glass = rendered(backdrop).pixelColor(60, 40);
    EXPECT_LT(glass.alpha(), 230);
    EXPECT_GT(glass.alpha(), 128);

    // No compositor: the tint (and base tone) over the opaque window colour.
    backdrop.setCompositingActive(false);
    const QColor opaque = rendered(backdrop).pixelColor(60, 40);
    EXPECT_EQ(opaque.alpha(), 255);
}
