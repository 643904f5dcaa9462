// The classic (unthemed) parts controls draw themselves with: 3D edges in the
// system colours, push-button and combo-arrow frames through the widget
// style, focus rectangles, the edge metrics and the menu look.
//
// Rectangles are QRects read as Windows rectangles: drawing covers
// x()..x()+width()-1 and y()..y()+height()-1.
#pragma once

#include <QRect>

class QPainter;
class QWidget;

// Edges: outer and inner borders, each raised or sunken.
constexpr unsigned BDR_RAISEDOUTER = 0x1;
constexpr unsigned BDR_SUNKENOUTER = 0x2;
constexpr unsigned BDR_RAISEDINNER = 0x4;
constexpr unsigned BDR_SUNKENINNER = 0x8;
constexpr unsigned EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER;
constexpr unsigned EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER;
constexpr unsigned EDGE_ETCHED = BDR_SUNKENOUTER | BDR_RAISEDINNER;
constexpr unsigned EDGE_BUMP = BDR_RAISEDOUTER | BDR_SUNKENINNER;

// Sides and options of DrawEdge.
constexpr unsigned BF_LEFT = 0x1;
constexpr unsigned BF_TOP = 0x2;
constexpr unsigned BF_RIGHT = 0x4;
constexpr unsigned BF_BOTTOM = 0x8;
constexpr unsigned BF_RECT = BF_LEFT | BF_TOP | BF_RIGHT | BF_BOTTOM;
constexpr unsigned BF_MIDDLE = 0x800;   // fill the inside with the button face
constexpr unsigned BF_ADJUST = 0x2000;  // shrink the rectangle by what was drawn
constexpr unsigned BF_FLAT = 0x4000;
constexpr unsigned BF_MONO = 0x8000;

// Frame controls.
constexpr unsigned DFC_SCROLL = 3;
constexpr unsigned DFC_BUTTON = 4;
constexpr unsigned DFCS_SCROLLCOMBOBOX = 0x5;
constexpr unsigned DFCS_BUTTONPUSH = 0x10;
constexpr unsigned DFCS_INACTIVE = 0x100;
constexpr unsigned DFCS_PUSHED = 0x200;
constexpr unsigned DFCS_ADJUSTRECT = 0x2000;
constexpr unsigned DFCS_FLAT = 0x4000;

// System metrics the controls use.
constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
constexpr int SM_CXEDGE = 45;
constexpr int SM_CYEDGE = 46;
// 2 for the edges; the primary screen's size for the screen metrics; 0 otherwise.
int GetSystemMetrics(int index);

// Draws the edges of the flagged sides; with BF_ADJUST the rectangle loses
// what was drawn. False for an edge or flag combination that draws nothing.
bool DrawEdge(QPainter& painter, QRect* rect, unsigned edge, unsigned flags);

// A push-button face (DFC_BUTTON, DFCS_BUTTONPUSH) or a combo box's drop
// arrow (DFC_SCROLL, DFCS_SCROLLCOMBOBOX) through the widget's style (the
// application's without a widget). DFCS_ADJUSTRECT leaves the rectangle
// inside the button's edges. False for another part.
bool DrawFrameControl(QPainter& painter, QRect* rect, unsigned type, unsigned state, const QWidget* widget = nullptr);

// The dotted focus frame of the style.
void DrawFocusRect(QPainter& painter, const QRect& rect, const QWidget* widget = nullptr);

// The menu look of the process: flat menus (one-pixel frames, filled
// highlights), the default, or raised 3D frames.
bool SystemFlatMenus();
void SetSystemFlatMenus(bool flat);
