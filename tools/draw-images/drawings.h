#pragma once

#include <QString>
#include <vector>

class QPainter;

// One image of images/: its file name, its size in pixels and the function that draws it. Each
// function draws on a canvas of `size` x `size` units with (0, 0) at the top left, so that the
// small images can be laid out on whole pixels.
struct Drawing
{
    QString fileName;
    int size;
    void (*draw)(QPainter &painter);
};

// All the images the program uses, in the order of images/images.qrc.
const std::vector<Drawing> &allDrawings();

// The program's icon for menus and launchers, on a canvas of `applicationIconSize` units square.
// It is rendered at every size of the icon theme and as SVG.
constexpr int applicationIconSize = 128;
void drawApplicationIcon(QPainter &painter);
