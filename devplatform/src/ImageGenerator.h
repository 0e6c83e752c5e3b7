#pragma once

#include <QByteArray>

// Draws the stand-in pictures of a video (thumbnail, cover, snapshots) as PNG: a gradient in
// colours taken from the seed, with a bar whose position tells the variants apart. Needs no
// GUI library.
class ImageGenerator
{
public:
    static QByteArray Png(int width, int height, quint32 seed, int variant);
};
