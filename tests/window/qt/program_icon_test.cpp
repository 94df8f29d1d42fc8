#include <gtest/gtest.h>

#include <QIcon>
#include <QImage>
#include <QSet>

#include "program_icon.h"

namespace linksift {
namespace {

TEST(ProgramIcon, HasBothSizesInSixteenColours) {
  const QIcon icon = ProgramIcon();
  for (int side : {16, 32}) {
    const QList<QSize> sizes = icon.availableSizes();
    ASSERT_TRUE(sizes.contains(QSize(side, side))) << side;
    const QImage image = icon.pixmap(side, side).toImage();
    ASSERT_EQ(image.size(), QSize(side, side));
    QSet<QRgb> colours;
    for (int y = 0; y < side; ++y) {
      for (int x = 0; x < side; ++x) colours.insert(image.pixel(x, y));
    }
    EXPECT_LE(colours.size(), 16) << side;
    EXPECT_GT(colours.size(), 2) << side;
  }
}

}  // namespace
}  // namespace linksift
