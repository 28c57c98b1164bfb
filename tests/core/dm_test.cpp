#include "core/dm.h"
#include "core/errors.h"
#include "tests/support/printers.h"

#include <QImage>
#include <gtest/gtest.h>

namespace {

TEST(DM, TenIconsByIndexAndName) {
    const TDM dm;
    EXPECT_EQ(&DM(), &dm);
    const QStringList names = {QStringLiteral("printer2"),      QStringLiteral("Download"),
                               QStringLiteral("folder"),        QStringLiteral("print"),
                               QStringLiteral("unlock"),        QStringLiteral("lock"),
                               QStringLiteral("search"),        QStringLiteral("usb_on"),
                               QStringLiteral("network_cable"), QStringLiteral("home")};
    ASSERT_EQ(dm.ImageCount(), names.size());
    EXPECT_EQ(dm.ImageName(ImageIndex::search), QStringLiteral("search"));
    EXPECT_EQ(dm.ImageName(ImageIndex::home), QStringLiteral("home"));
    QList<QImage> seen;
    for (int i = 0; i < dm.ImageCount(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(dm.ImageName(i), names[i]);
        const QImage image = dm.GetImage(i).toImage();
        EXPECT_EQ(image.size(), QSize(TDM::ImageSize, TDM::ImageSize));
        EXPECT_TRUE(image.hasAlphaChannel());
        int drawn = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                drawn += qAlpha(image.pixel(x, y)) > 0;
        EXPECT_GT(drawn, 60) << "a picture, not an empty square";
        EXPECT_LT(drawn, TDM::ImageSize * TDM::ImageSize) << "transparent around the picture";
        EXPECT_FALSE(seen.contains(image)) << "each icon is its own";
        seen << image;
    }
}

TEST(DM, IndexOutsideTheCollectionIsARangeError) {
    const TDM dm;
    EXPECT_THROW(dm.GetImage(-1), ERangeError);
    EXPECT_THROW(dm.GetImage(10), ERangeError);
    EXPECT_THROW(dm.ImageName(10), ERangeError);
}

TEST(DM, NoModuleNoImages) {
    EXPECT_THROW(DM(), Exception);
}

} // namespace
