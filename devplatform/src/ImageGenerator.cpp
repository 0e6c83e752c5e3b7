#include "ImageGenerator.h"

#include <QtEndian>

namespace {

quint32 Crc32(const QByteArray& data)
{
    static quint32 table[256];
    static const bool ready = [] {
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            table[i] = c;
        }
        return true;
    }();
    Q_UNUSED(ready);
    quint32 crc = 0xFFFFFFFFu;
    for (char ch : data) {
        crc = table[(crc ^ static_cast<quint8>(ch)) & 0xff] ^ (crc >> 8);
    }
    return crc ^ 0xFFFFFFFFu;
}

void AppendChunk(QByteArray* png, const char* type, const QByteArray& payload)
{
    char length[4];
    qToBigEndian<quint32>(static_cast<quint32>(payload.size()), length);
    png->append(length, 4);
    const QByteArray typed = QByteArray(type, 4) + payload;
    png->append(typed);
    char crc[4];
    qToBigEndian<quint32>(Crc32(typed), crc);
    png->append(crc, 4);
}

}  // namespace

QByteArray ImageGenerator::Png(int width, int height, quint32 seed, int variant)
{
    const int r0 = seed & 0xff, g0 = (seed >> 8) & 0xff, b0 = (seed >> 16) & 0xff;
    const int r1 = 255 - r0 / 2, g1 = 255 - g0 / 3, b1 = 255 - b0 / 4;
    const int barLeft = width * (variant % 7 + 1) / 9;
    const int barWidth = qMax(2, width / 16);

    QByteArray raw;
    raw.reserve((width * 3 + 1) * height);
    for (int y = 0; y < height; ++y) {
        raw.append('\0');  // filter: none
        for (int x = 0; x < width; ++x) {
            const int t = (x + y) * 255 / qMax(1, width + height - 2);
            int r = r0 + (r1 - r0) * t / 255;
            int g = g0 + (g1 - g0) * t / 255;
            int b = b0 + (b1 - b0) * t / 255;
            if (x >= barLeft && x < barLeft + barWidth) {
                r = 255 - r;
                g = 255 - g;
                b = 255 - b;
            }
            raw.append(static_cast<char>(r));
            raw.append(static_cast<char>(g));
            raw.append(static_cast<char>(b));
        }
    }

    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    QByteArray header(13, '\0');
    qToBigEndian<quint32>(static_cast<quint32>(width), header.data());
    qToBigEndian<quint32>(static_cast<quint32>(height), header.data() + 4);
    header[8] = 8;  // bit depth
    header[9] = 2;  // RGB
    AppendChunk(&png, "IHDR", header);
    AppendChunk(&png, "IDAT", qCompress(raw, 6).mid(4));  // qCompress prefixes the length
    AppendChunk(&png, "IEND", QByteArray());
    return png;
}
