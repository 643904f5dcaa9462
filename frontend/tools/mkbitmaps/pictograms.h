// Small pictures of the front end's commands and profile kinds, drawn on a
// 16 x 16 grid that is scaled to the box they are given.
#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <vector>

enum class Pictogram {
  Document,   // a page with a folded corner
  Tag,        // a label with a hole
  Log,        // a list of lines
  Folder,     // a closed folder
  Play,       // a play triangle
  PlayHot,    // the play triangle, lit
  Subtitle,   // a screen with text lines along its foot
  Watermark,  // a drop
  AddDvd,     // a folder with a disc before it
  Bin,        // a waste bin
  Exit,       // a door with an arrow out
  Note,       // a musical note
  Pencil,     // a pencil
  Film,       // a film frame with perforations
  Sliders,    // three level sliders
  Info,       // an "i" in a circle
  Scissors,   // open scissors
  Help,       // a "?" in a circle
  Gear,       // a cog wheel
};

// Draws the pictogram into box; accent colours the kinds that take one
// (Film, Note, Gear, Document), invalid for their own colour.
void DrawPictogram(QPainter& p, Pictogram kind, const QRectF& box, const QColor& accent = QColor());

// A strip of square cells on the key colour, one pictogram a cell, left to
// right. Edges are smoothed against a light face and the rest is the key.
QImage PictogramStrip(const std::vector<Pictogram>& kinds, int cell, const QColor& key,
                      const QColor& accent = QColor());
