#include "ui/pegelwerk_icon.h"

#include <array>

namespace {

// A grey plate with a raised edge, a groove down the middle, a fader knob
// near the top and three embossed ticks on either side. The two outermost
// columns on each side stay transparent.
//   . transparent  W white  S silver  D grey  K black
constexpr std::array<const char*, 16> kPixels = {
    "..WWWWWWWWWWWK..",  //
    "..WSSSSSSSSSDK..",  //
    "..WSSSSDWSSSDK..",  //
    "..WSWWWWWWWDDK..",  //
    "..WSWSSKKSSDDK..",  //
    "..WSDDDDDDDDDK..",  //
    "..WSSSSDWSSSDK..",  //
    "..WSSSSDWSSSDK..",  //
    "..WSDDSDWSDDDK..",  //
    "..WSWWSDWSWWDK..",  //
    "..WSDDSDWSDDDK..",  //
    "..WSWWSDWSWWDK..",  //
    "..WSDDSDWSDDDK..",  //
    "..WSWWSDWSWWDK..",  //
    "..WDDDDDDDDDDK..",  //
    "..KKKKKKKKKKKK..",  //
};

}  // namespace

QImage PegelwerkIcon() {
    // The sixteen colours of the classic desktop palette, then transparency.
    QList<QRgb> table = {
        qRgb(0x00, 0x00, 0x00), qRgb(0x80, 0x00, 0x00), qRgb(0x00, 0x80, 0x00),
        qRgb(0x80, 0x80, 0x00), qRgb(0x00, 0x00, 0x80), qRgb(0x80, 0x00, 0x80),
        qRgb(0x00, 0x80, 0x80), qRgb(0xC0, 0xC0, 0xC0), qRgb(0x80, 0x80, 0x80),
        qRgb(0xFF, 0x00, 0x00), qRgb(0x00, 0xFF, 0x00), qRgb(0xFF, 0xFF, 0x00),
        qRgb(0x00, 0x00, 0xFF), qRgb(0xFF, 0x00, 0xFF), qRgb(0x00, 0xFF, 0xFF),
        qRgb(0xFF, 0xFF, 0xFF), qRgba(0, 0, 0, 0),
    };
    QImage image(16, 16, QImage::Format_Indexed8);
    image.setColorTable(table);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            int index = 16;
            switch (kPixels[y][x]) {
                case 'W':
                    index = 15;
                    break;
                case 'S':
                    index = 7;
                    break;
                case 'D':
                    index = 8;
                    break;
                case 'K':
                    index = 0;
                    break;
                default:
                    break;
            }
            image.setPixel(x, y, static_cast<uint>(index));
        }
    }
    return image;
}
